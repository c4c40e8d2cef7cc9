#pragma once

// The library is built with hidden symbols; what a host application may use is marked here.
#define VESKSECURE2_EXPORT __attribute__((visibility("default")))
