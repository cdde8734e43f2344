// Names and identifiers of the utility library's classes.
//
// Only ActiveX_Lib is creatable; the function, list and good-info objects
// are made by its factories and have an interface id (for their type
// information) but no class id. The identifiers are fixed for good: they
// are written into class registries.
#pragma once

namespace qev::utility {

inline constexpr char kActiveXLibProgId[] = "qevActiveXLib.ActiveX_Lib";
inline constexpr char kActiveXLibClsid[] = "{6A3E1D52-7C41-4B8E-9F21-3D5A0C7E8B11}";
inline constexpr char kActiveXLibIid[] = "{6A3E1D52-7C41-4B8E-9F21-3D5A0C7E8B12}";

// Interface ids of the objects the factories make.
inline constexpr char kFuncLibIid[] = "{6A3E1D52-7C41-4B8E-9F21-3D5A0C7E8B13}";
inline constexpr char kFuncArrayIid[] = "{6A3E1D52-7C41-4B8E-9F21-3D5A0C7E8B14}";
inline constexpr char kGoodInfoIid[] = "{6A3E1D52-7C41-4B8E-9F21-3D5A0C7E8B15}";

// The source named in errors raised inside each object.
inline constexpr char kFuncLibSource[] = "qevActiveXLib.Func_Lib";
inline constexpr char kFuncArraySource[] = "qevActiveXLib.Func_Array";
inline constexpr char kGoodInfoSource[] = "qevActiveXLib.Good_Info_Class";

}  // namespace qev::utility
