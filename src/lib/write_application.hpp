#pragma once

#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>

namespace qel_package::detail {

// Fills a freshly initialised package root from the records, every list and text included.
// Checks nothing: Application::write measures, checks and validates before it calls this.
void write_application(application_capnp::Application::Builder root,
                       const Application& application);

}  // namespace qel_package::detail
