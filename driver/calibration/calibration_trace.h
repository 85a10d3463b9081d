// Trace points of calibration: each step hands its diagnostic text to a routine that discards it.
#pragma once

namespace ordavel::calibration {

template <typename... Args>
inline void Trace(const char* /*format*/, const Args&... /*args*/) {}

}  // namespace ordavel::calibration
