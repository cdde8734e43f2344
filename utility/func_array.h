// The list object, made by ActiveX_Lib.Create_Func_Array: reads and edits
// one item of a delimited list such as the day lists of the day reports
// ("0,0,...,0", 31 items).
//
// Late-bound members (every parameter by reference):
//   OpenArray(ListText, SplitText)
//       Loads ListText split at every occurrence of SplitText (exact,
//       case-sensitive, no limit on the number of items). An empty
//       SplitText means a comma. The list always has at least one item:
//       "" is one empty item, "a," is "a" and "", so joining the items again
//       gives back ListText exactly.
//   ArrayItem(Index As Integer) -> String
//       Item Index, counted from 0. Index below 0 or beyond the last item:
//       error 9.
//   ArrayReplace(Index (variant), NewValue, Flag As Integer) -> String
//       Replaces item Index (a number; Null is error 94, out of range error
//       9) by NewValue in the loaded list and returns the whole list joined
//       again by the same separator. Later calls see the replaced item.
//       Flag 0 is the only mode; any other flag is refused with error 5.
//       NewValue is taken as it is: if it holds the separator, the returned
//       text has more items than the loaded list.
//   ArrayItem or ArrayReplace before any OpenArray: error 5.
#pragma once

#include "platform/variant.h"

namespace qev::utility {

Object NewFuncArray();

}  // namespace qev::utility
