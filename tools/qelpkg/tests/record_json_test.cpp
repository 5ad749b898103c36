#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/profile.hpp>

#include "hex.hpp"
#include "json_writer.hpp"
#include "record_json.hpp"
#include "record_json_reader.hpp"

namespace qelpkg {
namespace {

using qel_package::Application;
using qel_package::Segment;
using namespace qel_package::profile;

std::string fixture() {
  std::ifstream file(QELPKG_FIXTURE_DIR "/full_package.json");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(RecordJson, PackageRoundTrip) {
  const std::string text = fixture();
  const auto application = from_json_text<Application>(text);
  ASSERT_TRUE(application) << application.error();
  EXPECT_TRUE(application->validate());
  EXPECT_EQ(application->tiles[0].segments[0].data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(application->profile_tiles[0].steps[0].exchange_activities[1].kind,
            ExchangeActivityKind::PartnerBusy);
  EXPECT_EQ(application->debug_regions[0].physical_tile, 4294967295u);
  EXPECT_EQ(nlohmann::json::parse(to_json(*application).dump()), nlohmann::json::parse(text));
}

TEST(RecordJson, ReportRoundTrip) {
  const ProfileReport report{
      .clock_hz = 18446744073709551615u,
      .tiles = {{.physical_tile = 17,
                 .samples = {{.step = {.local_index = 0,
                                       .phase = 1,
                                       .epoch = 2,
                                       .operation = "accumulate",
                                       .kind = StepKind::Compute,
                                       .kernel = "gemm",
                                       .metadata = {{.name = "innerBlock", .value = "8"}},
                                       .exchange_activities = {{.fanout = 65535,
                                                                .paired = true,
                                                                .kind = ExchangeActivityKind::Send,
                                                                .start_cycle = 1,
                                                                .end_cycle = 2}},
                                       .exchange_event_cycles = 3},
                              .start_cycle = 4294967285u,
                              .end_cycle = 7}}}},
  };
  const Json json = to_json(report);
  EXPECT_EQ(json["tiles"][0]["samples"][0]["step"]["kind"], "Compute");
  const auto read = from_json_text<ProfileReport>(json.dump());
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(*read, report);
}

TEST(RecordJson, Encoding) {
  const Segment segment{
      .address = 311296, .memory_size = 8, .data = {0x0a, 0xff, 0x00}, .flags = 5};
  EXPECT_EQ(to_json(segment).dump(),
            R"({"address":311296,"memory_size":8,"data":"0aff00","flags":5})");
  const ProfileExchangeActivity activity{.fanout = 2,
                                         .paired = false,
                                         .kind = ExchangeActivityKind::PartnerBusy,
                                         .start_cycle = 3,
                                         .end_cycle = 4};
  EXPECT_EQ(to_json(activity).dump(),
            R"({"fanout":2,"paired":false,"kind":"PartnerBusy","start_cycle":3,"end_cycle":4})");
}

TEST(RecordJson, Hex) {
  std::vector<std::uint8_t> all(256);
  for (std::size_t i = 0; i < all.size(); ++i) {
    all[i] = static_cast<std::uint8_t>(i);
  }
  const std::string text = to_hex(all);
  EXPECT_EQ(text.substr(0, 8), "00010203");
  EXPECT_EQ(text.substr(text.size() - 8), "fcfdfeff");
  EXPECT_EQ(from_hex(text), all);
  EXPECT_EQ(from_hex("ABcd"), (std::vector<std::uint8_t>{0xab, 0xcd}));
  EXPECT_EQ(from_hex(""), std::vector<std::uint8_t>{});
  const std::vector<std::pair<std::string, std::string>> refused{
      {"abc", "expected an even number of hex digits, got 3"},
      {"0g", "character 2 of the hex data, 'g', is not a hex digit"},
      {"zz", "character 1 of the hex data, 'z', is not a hex digit"},
      {"0xdeadbeef", "character 2 of the hex data, 'x', is not a hex digit"},
      {"abcdz", "character 5 of the hex data, 'z', is not a hex digit"},
  };
  for (const auto& [input, message] : refused) {
    SCOPED_TRACE(input);
    const auto bytes = from_hex(input);
    ASSERT_FALSE(bytes);
    EXPECT_EQ(bytes.error(), message);
  }
}

struct DecodeCase {
  const char* name;
  std::function<tl::expected<void, std::string>(std::string_view)> decode;
  const char* json;
  std::string message;  // empty: decodes
};

template <class T>
std::function<tl::expected<void, std::string>(std::string_view)> as() {
  return [](std::string_view text) -> tl::expected<void, std::string> {
    auto record = from_json_text<T>(text);
    if (!record) {
      return tl::unexpected(record.error());
    }
    return {};
  };
}

TEST(RecordJson, DecodeErrors) {
  const auto segment = as<Segment>();
  const auto activity = as<ProfileExchangeActivity>();
  const auto slice = as<qel_package::HostSlice>();
  const std::vector<DecodeCase> cases{
      {"a segment", segment, R"({"address":1,"memory_size":2,"data":"","flags":3})", ""},
      {"fields in any order", segment, R"({"flags":3,"data":"AB","memory_size":2,"address":1})",
       ""},
      {"missing field", segment, R"({"address":1,"memory_size":2,"data":""})",
       R"(missing field "flags")"},
      {"unknown field", segment, R"({"address":1,"memory_size":2,"data":"","flags":3,"size":4})",
       R"(unknown field "size")"},
      {"not an object", segment, "[1]", "expected an object, got array"},
      {"number as text", segment, R"({"address":"0x4c000","memory_size":2,"data":"","flags":3})",
       "address: expected an unsigned 32-bit integer, got string"},
      {"null number", segment, R"({"address":null,"memory_size":2,"data":"","flags":3})",
       "address: expected an unsigned 32-bit integer, got null"},
      {"beyond 32 bits", segment, R"({"address":4294967296,"memory_size":2,"data":"","flags":3})",
       "address: 4294967296 is not an unsigned 32-bit integer"},
      {"32-bit maximum", segment, R"({"address":4294967295,"memory_size":2,"data":"","flags":3})",
       ""},
      {"negative", segment, R"({"address":-1,"memory_size":2,"data":"","flags":3})",
       "address: -1 is not an unsigned 32-bit integer"},
      {"fraction", segment, R"({"address":1.5,"memory_size":2,"data":"","flags":3})",
       "address: 1.5 is not an unsigned 32-bit integer"},
      {"odd hex", segment, R"({"address":1,"memory_size":2,"data":"abc","flags":3})",
       "data: expected an even number of hex digits, got 3"},
      {"non-hex digit", segment, R"({"address":1,"memory_size":2,"data":"0x","flags":3})",
       "data: character 2 of the hex data, 'x', is not a hex digit"},
      {"overlong number", segment,
       R"({"address":1234567890123456789012345678901234567890,"memory_size":2,"data":"",)"
       R"("flags":3})",
       "address: 123456789012345678901234... (40 characters) is not an unsigned 32-bit integer"},
      {"bytes as a list", segment, R"({"address":1,"memory_size":2,"data":[1],"flags":3})",
       "data: expected a string of hex digits, got array"},
      {"beyond 16 bits", activity,
       R"({"fanout":65536,"paired":true,"kind":"Send","start_cycle":0,"end_cycle":0})",
       "fanout: 65536 is not an unsigned 16-bit integer"},
      {"boolean as number", activity,
       R"({"fanout":1,"paired":1,"kind":"Send","start_cycle":0,"end_cycle":0})",
       "paired: expected a boolean, got number"},
      {"unknown enumeration name", activity,
       R"({"fanout":1,"paired":true,"kind":"send","start_cycle":0,"end_cycle":0})",
       R"(kind: unknown name "send")"},
      {"enumeration by number", activity,
       R"({"fanout":1,"paired":true,"kind":0,"start_cycle":0,"end_cycle":0})",
       "kind: expected a name, got number"},
      {"64-bit maximum", slice,
       R"({"page":0,"page_offset":0,"file_offset":0,"size":18446744073709551615})", ""},
      {"beyond 64 bits", slice,
       R"({"page":0,"page_offset":0,"file_offset":0,"size":18446744073709551616})",
       "size: 18446744073709551616 is not an unsigned 64-bit integer"},
      {"nested path", as<Application>(), R"({"compiler_version":"1",
          "tiles":[{"physical_tile":0,"entry_point":0,"command_address":0,"diagnostic_address":0,
                    "segments":[{"address":1,"memory_size":2,"data":"","flags":3},
                                {"address":1,"memory_size":2,"data":"","flags":true}]}]})",
       "tiles[0].segments[1].flags: expected an unsigned 32-bit integer, got boolean"},
      {"list expected", as<qel_package::Binding>(),
       R"({"name":"x","dtype":"u8","shape":4,"slices":[]})",
       "shape: expected an array, got number"},
      {"text expected", as<qel_package::Binding>(),
       R"({"name":1,"dtype":"u8","shape":[4],"slices":[]})", "name: expected a string, got number"},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = c.decode(c.json);
    if (c.message.empty()) {
      EXPECT_TRUE(decoded) << decoded.error();
    } else {
      ASSERT_FALSE(decoded);
      EXPECT_EQ(decoded.error(), c.message);
    }
  }
}

TEST(RecordJson, SyntaxAndDuplicates) {
  const auto segment = as<Segment>();
  const auto tile = as<qel_package::TileImage>();
  const std::string valid = R"({"address":1,"memory_size":2,"data":"","flags":3})";
  const std::vector<DecodeCase> cases{
      {"trailing comma", segment, "{\n  \"address\": 1,\n  }",
       "syntax error at line 3, column 3: unexpected '}'; expected a field name in double quotes"},
      {"empty text", segment, "",
       "syntax error at line 1, column 1: unexpected end of text; "
       "expected a value"},
      {"text after the value", segment, R"({"address":1,"memory_size":2,"data":"","flags":3} x)",
       "syntax error at line 1, column 51: unexpected 'x' after the document"},
      {"missing colon", segment, R"({"address" 1})",
       "syntax error at line 1, column 12: unexpected '1'; expected ':'"},
      {"missing comma", segment, R"({"address":1 "flags":3})",
       "syntax error at line 1, column 14: unexpected '\"'; expected ',' or '}'"},
      {"unclosed string", segment, R"({"address)",
       "syntax error at line 1, column 10: unexpected end of text in a string"},
      {"raw control character", segment, "{\"addr\x01\":1}",
       "syntax error at line 1, column 7: control character 0x01 in a string must be escaped"},
      {"not UTF-8", segment, "{\"addr\xff\":1}",
       "syntax error at line 1, column 7: byte 0xff in a string is not UTF-8"},
      {"bad escape", segment, R"({"a\q":1})",
       "syntax error at line 1, column 4: invalid escape in a string"},
      {"lone surrogate", segment, R"({"\udc00":1})",
       "syntax error at line 1, column 3: unpaired surrogate in a \\u escape"},
      {"short unicode escape", segment, R"({"\u12":1})",
       "syntax error at line 1, column 3: \\u must be followed by four hex digits"},
      {"leading zero", segment, R"({"address":01})",
       "syntax error at line 1, column 12: a number must not start with 0"},
      {"bare minus", segment, R"({"address":-})",
       "syntax error at line 1, column 13: unexpected '}'; expected a digit"},
      {"bad literal", segment, R"({"address":nul})",
       "syntax error at line 1, column 12: unexpected 'n'; expected null"},
      {"duplicate field", segment,
       R"({"address":1,"address":2,"memory_size":2,"data":"","flags":3})",
       R"(duplicate field "address")"},
      {"nested duplicate", tile, R"({"physical_tile":0,"entry_point":0,"command_address":0,
          "diagnostic_address":0,"segments":[{"address":1,"memory_size":2,"data":"","flags":3},
          {"address":1,"memory_size":2,"data":"","data":"","flags":3}]})",
       R"(segments[1]: duplicate field "data")"},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = c.decode(c.json);
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error(), c.message);
  }
  // Text after the document, a NUL byte first, is refused where it starts; a string_view
  // keeps the NUL that a C string would end at.
  const std::string after_nul = valid + std::string("\0garbage", 8);
  const auto decoded = segment(after_nul);
  ASSERT_FALSE(decoded);
  EXPECT_EQ(decoded.error(),
            "syntax error at line 1, column 50: unexpected NUL byte after the "
            "document");
}

TEST(RecordJson, Escapes) {
  const auto binding = from_json_text<qel_package::Binding>(
      R"({"name":"a\"\\\/\b\f\n\r\t\u0041\u00e9\ud83d\ude00","dtype":"u8","shape":[],)"
      R"("slices":[]})");
  ASSERT_TRUE(binding) << binding.error();
  EXPECT_EQ(binding->name, "a\"\\/\b\f\n\r\tA\u00e9\U0001F600");
}

TEST(RecordJson, StreamingWriterMatchesDocument) {
  qel_package::Application application = *from_json_text<qel_package::Application>(fixture());
  application.debug_symbols.push_back({.name = "ctl\x1b\x7f\"\\\u00e9", .address = 1});
  application.tiles[0].segments[0].data.assign(100000, 0xab);
  std::string text;
  write_json(application, [&](std::string_view piece) { text += piece; });
  EXPECT_EQ(text, to_json(application).dump(2) + "\n");
}

}  // namespace
}  // namespace qelpkg
