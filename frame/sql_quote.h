// Values placed inside the statements a report builds.
//
// Report statements are assembled by concatenating fixed pieces with
// values: the workstation name, ids and codes read from source rows or
// lookups, texts from properties. A value that goes between the single
// quotes of a literal passes through Quote, so that an apostrophe in it
// stays part of the value ("O'Brien" -> "O''Brien") and can never close
// the literal early. For a value without an apostrophe the statement text
// is exactly what plain concatenation gives.
//
// Conditions handed in by the caller (CondStr and the like) are SQL by
// design and are not quoted. Names of tables, views and columns given by
// properties are checked with CheckTableName and CheckFieldName before the
// first statement that uses them runs.
#pragma once

#include <string>
#include <string_view>

namespace qev::frame {

// `value` with every single quote doubled, for a place between the single
// quotes of an SQL string literal.
std::string Quote(std::string_view value);

// Whether `name` may stand for a table or view in a statement: letters
// (ASCII or beyond), digits and '_', not starting with a digit, optionally
// behind one schema prefix of the same form and a dot.
bool IsTableName(std::string_view name);

// Raises error 32003 (kErrBadStatement) naming the property and the value
// when `name` is not a table name; `source` is the raising class's ProgID.
void CheckTableName(std::string_view property, std::string_view name, std::string_view source);

// The same rule for a property naming a column of the source view (ObjField,
// TypeField): error 32003 unless `name` is a column name.
void CheckFieldName(std::string_view property, std::string_view name, std::string_view source);

}  // namespace qev::frame
