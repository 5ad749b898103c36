#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>

#include "fixtures.hpp"
#include "matchers.hpp"
#include "unvalidated_bytes.hpp"

namespace qel_package {
namespace {

using testing::FailedAt;
using testing::Succeeded;

constexpr std::uint64_t U64_MAX = 18446744073709551615u;

TEST(ValidateHostBatchEnds, BoundariesSplitEverySliceIntoNonEmptyBatches) {
  struct Case {
    const char* direction;
    std::vector<std::uint32_t> ends;
    std::size_t slice_count;
    std::optional<std::string> message;  // empty: valid
    std::string location{};
  };
  const Case cases[] = {
      {"input",
       {},
       1,
       "host call explicit-batches input batches cover 0 of 1 slices",
       "input_batch_ends"},
      {"output",
       {},
       1,
       "host call explicit-batches output batches cover 0 of 1 slices",
       "output_batch_ends"},
      {"input", {}, 0, std::nullopt},
      {"input",
       {2, 2},
       3,
       "host call explicit-batches has invalid input batch boundary 2",
       "input_batch_ends[1]"},
      {"output",
       {0},
       0,
       "host call explicit-batches has invalid output batch boundary 0",
       "output_batch_ends[0]"},
      {"input",
       {0},
       3,
       "host call explicit-batches has invalid input batch boundary 0",
       "input_batch_ends[0]"},
      {"input",
       {1, 3},
       2,
       "host call explicit-batches has invalid input batch boundary 3",
       "input_batch_ends[1]"},
      {"output",
       {2, 1},
       2,
       "host call explicit-batches has invalid output batch boundary 1",
       "output_batch_ends[1]"},
      {"input",
       {1},
       2,
       "host call explicit-batches input batches cover 1 of 2 slices",
       "input_batch_ends"},
      {"input", {1, 2}, 2, std::nullopt},
      {"output", {4294967295u}, 4294967295u, std::nullopt},
  };
  const HostCall call{.name = "explicit-batches", .invocations = 1};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.ends) + " of " + std::to_string(c.slice_count));
    const auto result = validate_host_batch_ends(call, c.direction, c.ends, c.slice_count);
    if (c.message) {
      EXPECT_THAT(result, FailedAt(*c.message, c.location));
    } else {
      EXPECT_THAT(result, Succeeded());
    }
  }
}

using Mutation = std::function<void(HostExchange&)>;

// One 4096-byte page 0 and one call "c" reading its last 4 bytes in one batch; the
// command slot is the first 4 bytes of the page.
Application with_host_call() {
  Application application = tests::sample();
  application.host_exchange = HostExchange{
      .command_page = 0,
      .command_offset = 0,
      .pages = {{.index = 0, .size = 4096}},
      .attach_order = {0},
      .calls = {HostCall{
          .name = "c",
          .inputs = {{.page = 0, .page_offset = 4092, .file_offset = 0, .size = 4}},
          .invocations = 1,
          .input_batch_ends = {1},
      }},
  };
  return application;
}

// The records and a view of the same package answer alike.
void check(const char* name, const Mutation& mutate, std::optional<std::string> message,
           const std::string& location = "") {
  SCOPED_TRACE(name);
  Application application = with_host_call();
  mutate(application.host_exchange);
  const auto view = ApplicationView::open(testing::unvalidated_bytes(application));
  if (message) {
    EXPECT_THAT(application.validate(), FailedAt(*message, location));
    EXPECT_THAT(view, FailedAt(*message, location));
  } else {
    EXPECT_THAT(application.validate(), Succeeded());
    EXPECT_THAT(view, Succeeded());
  }
}

HostSlice& input(HostExchange& exchange) { return exchange.calls[0].inputs[0]; }

TEST(ValidateHostExchange, PageTable) {
  check(
      "the base package", [](HostExchange&) {}, std::nullopt);
  check(
      "two pages of index 0", [](HostExchange& e) { e.pages.push_back({.index = 0, .size = 1}); },
      "invalid host page table", "host_exchange.pages[1]");
  check(
      "attaching a missing page",
      [](HostExchange& e) {
        e.attach_order = {0, 9};
      },
      "invalid host page table", "host_exchange.attach_order[1]");
  check(
      "an empty attach order", [](HostExchange& e) { e.attach_order.clear(); }, std::nullopt);
  check(
      "attaching a page twice",
      [](HostExchange& e) {
        e.attach_order = {0, 0};
      },
      std::nullopt);
  check(
      "a page of size 0", [](HostExchange& e) { e.pages.push_back({.index = 1, .size = 0}); },
      std::nullopt);
}

TEST(ValidateHostExchange, StartupProtocol) {
  check(
      "no calls and a command page that names no page",
      [](HostExchange& e) {
        e.calls.clear();
        e.command_page = 7;
        e.command_offset = U64_MAX;
      },
      std::nullopt);
  check(
      "a command slot ending at the page end", [](HostExchange& e) { e.command_offset = 4092; },
      std::nullopt);
  for (const std::uint64_t offset :
       std::initializer_list<std::uint64_t>{4093, U64_MAX - 2, U64_MAX}) {
    check(
        std::to_string(offset).c_str(), [=](HostExchange& e) { e.command_offset = offset; },
        "invalid host startup protocol", "host_exchange.command_offset");
  }
  check(
      "a missing command page", [](HostExchange& e) { e.command_page = 1; },
      "invalid host startup protocol", "host_exchange.command_page");
  check(
      "an empty page table, before any call",
      [](HostExchange& e) {
        e.pages.clear();
        e.attach_order.clear();
        e.calls[0].invocations = 0;
      },
      "invalid host startup protocol", "host_exchange.command_page");
}

TEST(ValidateHostExchange, Calls) {
  check(
      "no invocations, with wrong boundaries too",
      [](HostExchange& e) {
        e.calls[0].invocations = 0;
        e.calls[0].input_batch_ends = {};
      },
      "host call c has no invocations", "host_exchange.calls[0]");
  check(
      "input boundaries before output boundaries",
      [](HostExchange& e) {
        e.calls[0].input_batch_ends = {};
        e.calls[0].output_batch_ends = {1};
      },
      "host call c input batches cover 0 of 1 slices", "host_exchange.calls[0].input_batch_ends");
  check(
      "output boundaries", [](HostExchange& e) { e.calls[0].output_batch_ends = {1}; },
      "host call c has invalid output batch boundary 1",
      "host_exchange.calls[0].output_batch_ends[0]");
  for (const std::uint64_t offset :
       std::initializer_list<std::uint64_t>{4093, U64_MAX - 2, U64_MAX}) {
    check(
        std::to_string(offset).c_str(), [=](HostExchange& e) { input(e).page_offset = offset; },
        "host call c has an invalid slice range", "host_exchange.calls[0].inputs[0]");
  }
  check(
      "an overflowing file range", [](HostExchange& e) { input(e).file_offset = U64_MAX - 2; },
      "host call c has an invalid slice range", "host_exchange.calls[0].inputs[0]");
  check(
      "an empty slice at the page end",
      [](HostExchange& e) {
        input(e).page_offset = 4096;
        input(e).size = 0;
      },
      std::nullopt);
  check(
      "an input slice on a missing page", [](HostExchange& e) { input(e).page = 3; },
      "host call c references missing page", "host_exchange.calls[0].inputs[0]");
}

TEST(ValidateHostExchange, OutputSlicesAfterInputsAndBoundaries) {
  const Mutation missing_output_page = [](HostExchange& e) {
    e.calls[0].outputs = {{.page = 3, .size = 4}};
    e.calls[0].output_batch_ends = {1};
  };
  check("a missing output page", missing_output_page, "host call c references missing page",
        "host_exchange.calls[0].outputs[0]");
  check(
      "after a broken input slice",
      [&](HostExchange& e) {
        missing_output_page(e);
        input(e).page_offset = 4093;
      },
      "host call c has an invalid slice range", "host_exchange.calls[0].inputs[0]");
  check(
      "after broken output boundaries",
      [&](HostExchange& e) {
        missing_output_page(e);
        e.calls[0].output_batch_ends = {};
      },
      "host call c output batches cover 0 of 1 slices", "host_exchange.calls[0].output_batch_ends");
  check(
      "calls in list order",
      [](HostExchange& e) {
        e.calls.push_back(HostCall{.name = "d", .invocations = 0});
        input(e).page = 5;
      },
      "host call c references missing page", "host_exchange.calls[0].inputs[0]");
}

}  // namespace
}  // namespace qel_package
