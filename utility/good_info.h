// The good-info object, made by ActiveX_Lib.Create_Good_Info_Class: looks a
// good up by id so that the goods reports can write its name,
// specification and unit.
//
// Late-bound members (every parameter by reference):
//   Global_Lib_Obj (object; Set and Get)
//       The host library object. The good is read through it, never from a
//       database of the object's own.
//   CheckInfo(GoodId As String) -> Boolean
//       Loads the good with that id by
//         Global_Lib_Obj.DbA_Query0_Obj.OpenRs(
//           "select id,Name,spec,UnitName from qev_pub_Good_V where id='" &
//           GoodId with every ' doubled & "'")
//       reading the first row through RecordCount and Fields(name), then
//       Close (the recordset is closed on every path). True when the good
//       exists. An unknown id leaves every attribute empty; a Null column
//       gives "". Whatever an earlier call loaded is forgotten first.
//       Global_Lib_Obj not set: error 91. Errors of the host objects pass
//       through unchanged.
//   Field(Name As String) -> String
//       The loaded attribute as text: "id", "Name", "spec" or "UnitName",
//       the name matched without regard to case. Before any CheckInfo all
//       attributes are empty. Any other name: error 5.
#pragma once

#include "platform/variant.h"

namespace qev::utility {

Object NewGoodInfo();

}  // namespace qev::utility
