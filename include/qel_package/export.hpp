#pragma once

// Marks the public API. The library is built with hidden visibility, so a shared build exports
// these declarations and nothing else.
#define QEL_PACKAGE_API __attribute__((visibility("default")))
