#pragma once

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>
#include <qel_package/chrome_trace.hpp>
#include <qel_package/constants.hpp>
#include <qel_package/debug_format.hpp>
#include <qel_package/error.hpp>
#include <qel_package/export.hpp>
#include <qel_package/list_view.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_summary.hpp>
#include <qel_package/profile_timeline.hpp>
#include <qel_package/profile_view.hpp>
#include <qel_package/reader_options.hpp>
#include <qel_package/timeline_svg.hpp>
