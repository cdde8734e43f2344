// The row loop of the reports over a recordset: a signed 16-bit counter
// from 0 to RecordCount - 1, the body, then MoveNext.
//
// The bound RecordCount - 1 is converted to 16 bits before the first row,
// so a result of more than 32,768 rows fails with error 6 before any row is
// read; the counter is incremented with overflow checking after each row,
// so a result of exactly 32,768 rows reads every row and then fails with
// error 6. The caller closes the recordset after the loop.
#pragma once

#include <cstdint>

#include "frame/host_services.h"
#include "platform/checked.h"

namespace qev::frame {

template <typename Body>
void ForEachRow(const Recordset& rs, Body&& body) {
  const int16_t last = CheckedInt16(static_cast<int64_t>(rs.RecordCount()) - 1);
  for (int16_t i = 0; i <= last;) {
    body(i);
    rs.MoveNext();
    i = CheckedAdd16(i, 1);
  }
}

}  // namespace qev::frame
