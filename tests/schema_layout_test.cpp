#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <capnp/any.h>
#include <capnp/message.h>
#include <capnp/serialize.h>
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <qel_package/application.capnp.h>
#include <qel_package/profile.capnp.h>

namespace qel_package {
namespace {

namespace app = application_capnp;
namespace prof = profile_capnp;

// Describes a struct as written: its data section in hex, a space between words, and each
// pointer slot as "null", "struct", or "list N" with the element count.
struct Layout {
  std::string data;
  std::vector<std::string> pointers;

  bool operator==(const Layout&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Layout& layout) {
    os << "data: " << layout.data << " pointers:";
    for (const std::string& pointer : layout.pointers) {
      os << " [" << pointer << "]";
    }
    return os;
  }
};

Layout layout_of(capnp::AnyStruct::Reader any) {
  Layout layout;
  const auto data = any.getDataSection();
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i != 0 && i % 8 == 0) {
      layout.data += ' ';
    }
    layout.data += fmt::format("{:02x}", data[i]);
  }
  for (capnp::AnyPointer::Reader pointer : any.getPointerSection()) {
    switch (pointer.getPointerType()) {
      case capnp::PointerType::NULL_:
        layout.pointers.push_back("null");
        break;
      case capnp::PointerType::STRUCT:
        layout.pointers.push_back("struct");
        break;
      case capnp::PointerType::LIST:
        layout.pointers.push_back(fmt::format("list {}", pointer.getAs<capnp::AnyList>().size()));
        break;
      case capnp::PointerType::CAPABILITY:
        layout.pointers.push_back("capability");
        break;
    }
  }
  return layout;
}

struct LayoutCase {
  const char* name;
  std::function<capnp::AnyStruct::Reader(capnp::MallocMessageBuilder&)> build;
  Layout expected;
};

// Texts count their NUL byte as an element: a text of n characters is "list n+1".
const LayoutCase LAYOUT_CASES[] = {
    {"application",
     [](capnp::MallocMessageBuilder& message) {
       auto root = message.initRoot<app::Application>();
       root.setSchemaVersion(0xA1A2A3A4);
       root.setCompilerVersion("c");
       root.setTarget("tt");
       root.setTileMemoryBase(0xB1B2B3B4);
       root.setTileMemorySize(0xC1C2C3C4);
       root.initTiles(3);
       root.initInputs(4);
       root.initOutputs(5);
       root.initWeights(6);
       root.initHostExchange();
       root.initEntryPoints(7);
       root.initDeviceConfigWrites(8);
       root.initProfileTiles(9);
       root.initDebugSymbols(10);
       root.initDebugRegions(11);
       return capnp::AnyStruct::Reader(root.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c4c3c2c100000000",
      {"list 2", "list 3", "list 3", "list 4", "list 5", "list 6", "struct", "list 7", "list 8",
       "list 9", "list 10", "list 11"}}},
    {"tile_image",
     [](capnp::MallocMessageBuilder& message) {
       auto tile = message.initRoot<app::TileImage>();
       tile.setPhysicalTile(0xA1A2A3A4);
       tile.setEntryPoint(0xB1B2B3B4);
       tile.initSegments(2);
       tile.setCommandAddress(0xC1C2C3C4);
       tile.setDiagnosticAddress(0xD1D2D3D4);
       return capnp::AnyStruct::Reader(tile.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c4c3c2c1d4d3d2d1", {"list 2"}}},
    {"segment",
     [](capnp::MallocMessageBuilder& message) {
       auto segment = message.initRoot<app::Segment>();
       segment.setAddress(0xA1A2A3A4);
       segment.setMemorySize(0xB1B2B3B4);
       segment.initData(3);
       segment.setFlags(0xC1C2C3C4);
       return capnp::AnyStruct::Reader(segment.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c4c3c2c100000000", {"list 3"}}},
    {"region_slice",
     [](capnp::MallocMessageBuilder& message) {
       auto slice = message.initRoot<app::RegionSlice>();
       slice.setTile(0xA1A2A3A4);
       slice.setTileAddress(0xB1B2B3B4);
       slice.setFileOffset(0xC1C2C3C4C5C6C7C8);
       slice.setSize(0xD1D2D3D4D5D6D7D8);
       return capnp::AnyStruct::Reader(slice.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c8c7c6c5c4c3c2c1 d8d7d6d5d4d3d2d1", {}}},
    {"binding",
     [](capnp::MallocMessageBuilder& message) {
       auto binding = message.initRoot<app::Binding>();
       binding.setName("n");
       binding.setDtype("u32");
       binding.initShape(2);
       binding.initSlices(3);
       return capnp::AnyStruct::Reader(binding.asReader());
     },
     {"", {"list 2", "list 4", "list 2", "list 3"}}},
    {"host_page",
     [](capnp::MallocMessageBuilder& message) {
       auto page = message.initRoot<app::HostPage>();
       page.setIndex(0xA1A2A3A4);
       page.setSize(0xB1B2B3B4B5B6B7B8);
       return capnp::AnyStruct::Reader(page.asReader());
     },
     {"a4a3a2a100000000 b8b7b6b5b4b3b2b1", {}}},
    {"host_slice",
     [](capnp::MallocMessageBuilder& message) {
       auto slice = message.initRoot<app::HostSlice>();
       slice.setPage(0xA1A2A3A4);
       slice.setPageOffset(0xB1B2B3B4B5B6B7B8);
       slice.setFileOffset(0xC1C2C3C4C5C6C7C8);
       slice.setSize(0xD1D2D3D4D5D6D7D8);
       return capnp::AnyStruct::Reader(slice.asReader());
     },
     {"a4a3a2a100000000 b8b7b6b5b4b3b2b1 c8c7c6c5c4c3c2c1 d8d7d6d5d4d3d2d1", {}}},
    {"host_call, invocations stored exclusive-or 1",
     [](capnp::MallocMessageBuilder& message) {
       auto call = message.initRoot<app::HostCall>();
       call.setName("run");
       call.setCommand(0xA1A2A3A4);
       call.setPhases(0xB1B2B3B4);
       call.initInputs(2);
       call.initOutputs(3);
       call.setInvocations(0xC1C2C3C4);
       call.initInputBatchEnds(4);
       call.initOutputBatchEnds(5);
       return capnp::AnyStruct::Reader(call.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c5c3c2c100000000", {"list 4", "list 2", "list 3", "list 4", "list 5"}}},
    {"host_call with one invocation",
     [](capnp::MallocMessageBuilder& message) {
       auto call = message.initRoot<app::HostCall>();
       call.setInvocations(1);
       return capnp::AnyStruct::Reader(call.asReader());
     },
     {"0000000000000000 0000000000000000", {"null", "null", "null", "null", "null"}}},
    {"host_exchange",
     [](capnp::MallocMessageBuilder& message) {
       auto exchange = message.initRoot<app::HostExchange>();
       exchange.setStartupMark(0xA1A2A3A4);
       exchange.setCommandPage(0xB1B2B3B4);
       exchange.setCommandOffset(0xC1C2C3C4C5C6C7C8);
       exchange.initPages(2);
       exchange.initAttachOrder(3);
       exchange.initCalls(4);
       return capnp::AnyStruct::Reader(exchange.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c8c7c6c5c4c3c2c1", {"list 2", "list 3", "list 4"}}},
    {"entry_point",
     [](capnp::MallocMessageBuilder& message) {
       auto entry = message.initRoot<app::EntryPoint>();
       entry.setName("main");
       entry.setCommand(0xA1A2A3A4);
       entry.setExternalSyncs(0xB1B2B3B4);
       return capnp::AnyStruct::Reader(entry.asReader());
     },
     {"a4a3a2a1b4b3b2b1", {"list 5"}}},
    {"device_config_write",
     [](capnp::MallocMessageBuilder& message) {
       auto write = message.initRoot<app::DeviceConfigWrite>();
       write.setOffset(0xA1A2A3A4);
       write.setValue(0xB1B2B3B4);
       return capnp::AnyStruct::Reader(write.asReader());
     },
     {"a4a3a2a1b4b3b2b1", {}}},
    {"tile_profile_plan",
     [](capnp::MallocMessageBuilder& message) {
       auto plan = message.initRoot<app::TileProfilePlan>();
       plan.setPhysicalTile(0xA1A2A3A4);
       plan.initSteps(2);
       return capnp::AnyStruct::Reader(plan.asReader());
     },
     {"a4a3a2a100000000", {"list 2"}}},
    {"debug_symbol",
     [](capnp::MallocMessageBuilder& message) {
       auto symbol = message.initRoot<app::DebugSymbol>();
       symbol.setName("k");
       symbol.setAddress(0xA1A2A3A4);
       return capnp::AnyStruct::Reader(symbol.asReader());
     },
     {"a4a3a2a100000000", {"list 2"}}},
    {"debug_region",
     [](capnp::MallocMessageBuilder& message) {
       auto region = message.initRoot<app::DebugRegion>();
       region.setPhysicalTile(0xA1A2A3A4);
       region.setAddress(0xB1B2B3B4);
       region.setSize(0xC1C2C3C4);
       region.setName("r");
       return capnp::AnyStruct::Reader(region.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c4c3c2c100000000", {"list 2"}}},
    {"profile",
     [](capnp::MallocMessageBuilder& message) {
       auto profile = message.initRoot<prof::Profile>();
       profile.setSchemaVersion(0xA1A2A3A4);
       profile.setClockHz(0xB1B2B3B4B5B6B7B8);
       profile.initTiles(2);
       return capnp::AnyStruct::Reader(profile.asReader());
     },
     {"a4a3a2a100000000 b8b7b6b5b4b3b2b1", {"list 2"}}},
    {"tile_profile",
     [](capnp::MallocMessageBuilder& message) {
       auto tile = message.initRoot<prof::TileProfile>();
       tile.setPhysicalTile(0xA1A2A3A4);
       tile.initSamples(2);
       return capnp::AnyStruct::Reader(tile.asReader());
     },
     {"a4a3a2a100000000", {"list 2"}}},
    {"cycle_sample",
     [](capnp::MallocMessageBuilder& message) {
       auto sample = message.initRoot<prof::CycleSample>();
       sample.initStep();
       sample.setStartCycle(0xA1A2A3A4);
       sample.setEndCycle(0xB1B2B3B4);
       return capnp::AnyStruct::Reader(sample.asReader());
     },
     {"a4a3a2a1b4b3b2b1", {"struct"}}},
    {"profile_step",
     [](capnp::MallocMessageBuilder& message) {
       auto step = message.initRoot<prof::ProfileStep>();
       step.setLocalIndex(0xA1A2A3A4);
       step.setPhase(0xB1B2B3B4);
       step.setEpoch(0xC1C2C3C4);
       step.setOperation("op");
       step.setKind(prof::StepKind::IDLE);
       step.setKernel("kern");
       step.initMetadata(2);
       step.initExchangeActivities(3);
       step.setExchangeEventCycles(0xD1D2D3D4);
       return capnp::AnyStruct::Reader(step.asReader());
     },
     {"a4a3a2a1b4b3b2b1 c4c3c2c103000000 d4d3d2d100000000",
      {"list 3", "list 5", "list 2", "list 3"}}},
    {"metadata_entry",
     [](capnp::MallocMessageBuilder& message) {
       auto entry = message.initRoot<prof::MetadataEntry>();
       entry.setName("n");
       entry.setValue("val");
       return capnp::AnyStruct::Reader(entry.asReader());
     },
     {"", {"list 2", "list 4"}}},
    {"exchange_activity, paired in bit 96",
     [](capnp::MallocMessageBuilder& message) {
       auto activity = message.initRoot<prof::ExchangeActivity>();
       activity.setKind(prof::ExchangeActivityKind::PARTNER_BUSY);
       activity.setStartCycle(0xA1A2A3A4);
       activity.setEndCycle(0xB1B2B3B4);
       activity.setFanout(0xC1C2);
       activity.setPaired(true);
       return capnp::AnyStruct::Reader(activity.asReader());
     },
     {"0200c2c1a4a3a2a1 b4b3b2b101000000", {}}},
};

TEST(SchemaLayout, FieldsSitWhereTheWireLayoutPutsThem) {
  for (const LayoutCase& c : LAYOUT_CASES) {
    SCOPED_TRACE(c.name);
    capnp::MallocMessageBuilder message;
    EXPECT_EQ(layout_of(c.build(message)), c.expected);
  }
}

// Reads a root struct of HostCall from one hand-made segment of little-endian words.
std::uint32_t invocations_of(std::vector<std::uint64_t> words) {
  const kj::ArrayPtr<const capnp::word> segments[] = {
      kj::arrayPtr(reinterpret_cast<const capnp::word*>(words.data()), words.size())};
  capnp::SegmentArrayMessageReader reader(segments);
  return reader.getRoot<app::HostCall>().getInvocations();
}

TEST(SchemaLayout, InvocationsDefaultToOne) {
  // A struct pointer at offset 0: data words in bits 32..47, pointers in bits 48..63.
  const auto struct_pointer = [](std::uint64_t data_words) { return data_words << 32; };
  EXPECT_EQ(invocations_of({struct_pointer(1), 0}), 1u) << "short data section";
  EXPECT_EQ(invocations_of({struct_pointer(2), 0, 0}), 1u) << "stored 0";
  EXPECT_EQ(invocations_of({struct_pointer(2), 0, 1}), 0u) << "stored 1";
}

}  // namespace
}  // namespace qel_package
