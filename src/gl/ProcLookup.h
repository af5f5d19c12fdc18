#pragma once
// How a back end finds GL entry points, without the GL headers.
namespace stagwerk {

// Finds a GL entry point by name; null when the driver lacks it.
using GlProcLookup = void* (*)(const char* name);

}  // namespace stagwerk
