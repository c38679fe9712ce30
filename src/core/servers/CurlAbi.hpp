#pragma once

// The few parts of libcurl's interface the HTTP probe uses, by their values. libcurl is opened at
// run time (dlopen of libcurl.so.4), and its soname promises these numbers never change, so the
// build needs no libcurl development package. Tests compare each one with <curl/curl.h> where
// that header is installed.
namespace tarvik::CurlAbi {

using Handle = void;  // a CURL easy handle
using Code = int;     // CURLcode
using Option = int;   // CURLoption
using Info = int;     // CURLINFO

using GlobalInit = Code (*)(long flags);
using EasyInit = Handle* (*)();
using EasySetopt = Code (*)(Handle*, Option, ...);
using EasyPerform = Code (*)(Handle*);
using EasyGetinfo = Code (*)(Handle*, Info, ...);
using EasyCleanup = void (*)(Handle*);

inline constexpr long globalDefault = 3;  // CURL_GLOBAL_DEFAULT

// CURLoption: a base for the argument's type plus a number.
inline constexpr Option longOption = 0;
inline constexpr Option pointerOption = 10000;
inline constexpr Option functionOption = 20000;

inline constexpr Option url = pointerOption + 2;               // CURLOPT_URL
inline constexpr Option proxy = pointerOption + 4;             // CURLOPT_PROXY
inline constexpr Option noProxy = pointerOption + 177;         // CURLOPT_NOPROXY
inline constexpr Option noBody = longOption + 44;              // CURLOPT_NOBODY
inline constexpr Option followLocation = longOption + 52;      // CURLOPT_FOLLOWLOCATION
inline constexpr Option noSignal = longOption + 99;            // CURLOPT_NOSIGNAL
inline constexpr Option timeoutMs = longOption + 155;          // CURLOPT_TIMEOUT_MS
inline constexpr Option connectTimeoutMs = longOption + 156;   // CURLOPT_CONNECTTIMEOUT_MS
inline constexpr Option writeFunction = functionOption + 11;   // CURLOPT_WRITEFUNCTION
inline constexpr Option headerFunction = functionOption + 79;  // CURLOPT_HEADERFUNCTION

inline constexpr Info responseCode = 0x200000 + 2;  // CURLINFO_RESPONSE_CODE, a long

inline constexpr Code ok = 0;                  // CURLE_OK
inline constexpr Code couldNotConnect = 7;     // CURLE_COULDNT_CONNECT
inline constexpr Code operationTimedOut = 28;  // CURLE_OPERATION_TIMEDOUT

}  // namespace tarvik::CurlAbi
