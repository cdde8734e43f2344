// The makers of the report components that are built, one per class,
// defined in the class's own source unit under reports/.
#pragma once

#include "frame/registration.h"

namespace qev::frame {

Object MakeRpt_Tol_Good(const ClassSpec& spec);
Object MakeRpt_Fy_Good(const ClassSpec& spec);
Object MakeRpt_Zy_Good(const ClassSpec& spec);
Object MakeRpt_KcCk(const ClassSpec& spec);
Object MakeRpt_KcRk(const ClassSpec& spec);
Object MakeRpt_Kc_Count(const ClassSpec& spec);
Object MakeRpt_RegCz(const ClassSpec& spec);
Object MakeRpt_Kc_Query(const ClassSpec& spec);
Object MakeRpt_Tol_Type(const ClassSpec& spec);
Object MakeRpt_Tol_TypeDx(const ClassSpec& spec);
Object MakeRpt_Kc_Zz(const ClassSpec& spec);
Object MakeRpt_Tol_Day(const ClassSpec& spec);
Object MakeRpt_Zy_Day(const ClassSpec& spec);
Object MakeRpt_RegCz_Day(const ClassSpec& spec);
Object MakeRpt_Zy_Type(const ClassSpec& spec);
Object MakeRpt_Zy_TypeDx(const ClassSpec& spec);
Object MakeRpt_KcRk_Price(const ClassSpec& spec);
Object MakeRpt_Tol_Rbb(const ClassSpec& spec);
Object MakeRpt_Yjk_Rbb(const ClassSpec& spec);
Object MakeRpt_Yb_Rbb(const ClassSpec& spec);
Object MakeRpt_Yb_Rbb_Zyjz(const ClassSpec& spec);
Object MakeRpt_Yb_Rbb_Zyjs(const ClassSpec& spec);

}  // namespace qev::frame
