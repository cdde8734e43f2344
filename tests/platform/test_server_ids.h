// Identifiers of the classes served by the test component library
// (test_server.cpp), shared with the tests that load it.
#pragma once

namespace qev::test_server {

inline constexpr const char* kCounterProgId = "qevTestServer.Counter";
inline constexpr const char* kCounterClsid = "{3F1C6A10-7B2D-4E59-A0C4-5D1E2F3A4B01}";
inline constexpr const char* kCounterIid = "{3F1C6A10-7B2D-4E59-A0C4-5D1E2F3A4B02}";
inline constexpr const char* kEchoProgId = "qevTestServer.Echo";
inline constexpr const char* kEchoClsid = "{3F1C6A10-7B2D-4E59-A0C4-5D1E2F3A4B03}";
inline constexpr const char* kEchoIid = "{3F1C6A10-7B2D-4E59-A0C4-5D1E2F3A4B04}";

}  // namespace qev::test_server
