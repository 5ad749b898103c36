#include "fixtures.hpp"

#include <qel_package/constants.hpp>

namespace qel_package::tests {

using profile::ExchangeActivityKind;
using profile::ProfileStep;
using profile::StepKind;

Application full_package() {
  Application application;
  application.compiler_version = "9.8.7-r\xC3\xA9sum\xC3\xA9";
  application.tiles = {
      TileImage{
          .physical_tile = 4,
          .entry_point = 0x4C010,
          .command_address = 0x4C100,
          .diagnostic_address = 0x4C200,
          .segments =
              {{.address = 0x50000, .memory_size = 16, .data = {9, 8, 7}, .flags = 1},
               {.address = 0x4C000, .memory_size = 0x400, .data = {1, 2, 3, 4, 5}, .flags = 6},
               {.address = 0x60000, .memory_size = 0, .data = {}, .flags = 0}},
      },
      TileImage{.physical_tile = 1, .entry_point = 0xE0000},
  };
  application.inputs = {Binding{
      .name = "input.tokens",
      .dtype = "u32",
      .shape = {2, 8},
      .slices = {{.tile = 4, .tile_address = 0x4C800, .file_offset = 0, .size = 32},
                 {.tile = 1, .tile_address = 0xE7FE0, .file_offset = 32, .size = 32}},
  }};
  application.outputs = {
      Binding{.name = "logits",
              .dtype = "u8",
              .shape = {12},
              .slices = {{.tile = 4, .tile_address = 0x4CC00, .file_offset = 0, .size = 12}}},
      Binding{.name = "profile.cycles",
              .dtype = "u32",
              .shape = {5},
              .slices = {{.tile = 4, .tile_address = 0x4D000, .file_offset = 0, .size = 12},
                         {.tile = 1, .tile_address = 0xE0100, .file_offset = 12, .size = 8}}},
  };
  application.weights = {Binding{.name = "weights.empty", .dtype = "", .shape = {}, .slices = {}}};
  application.host_exchange = HostExchange{
      .startup_mark = 0xCAFE,
      .command_page = 2,
      .command_offset = 0x1FFC,
      .pages = {{.index = 2, .size = 0x2000}, {.index = 5, .size = 0x100}, {.index = 7, .size = 0}},
      .attach_order = {5, 2, 5},
      .calls = {HostCall{
                    .name = "transfer",
                    .command = 3,
                    .phases = 2,
                    .inputs = {{.page = 5, .page_offset = 0, .file_offset = 0x40, .size = 0x80},
                               {.page = 5, .page_offset = 0x80, .file_offset = 0, .size = 0x80},
                               {.page = 2, .page_offset = 0x10, .file_offset = 0x100, .size = 4}},
                    .outputs = {{.page = 7, .page_offset = 0, .file_offset = 0, .size = 0}},
                    .invocations = 6,
                    .input_batch_ends = {1, 3},
                    .output_batch_ends = {1},
                },
                HostCall{.name = "", .invocations = 1}},
  };
  application.entry_points = {{.name = "main", .command = 1, .external_syncs = 2},
                              {.name = "", .command = 0, .external_syncs = 0}};
  application.device_config_writes = {{.offset = 0x4018, .value = 0xC000000D},
                                      {.offset = 0, .value = 0xFFFFFFFF}};
  application.profile_tiles = {
      TileProfilePlan{
          .physical_tile = 4,
          .steps = {ProfileStep{.local_index = 0,
                                .phase = 1,
                                .epoch = 2,
                                .operation = "matmul",
                                .kind = StepKind::Compute,
                                .kernel = "gemm_f32",
                                .metadata = {{.name = "innerBlock", .value = "8"},
                                             {.name = "innerBlock", .value = ""}},
                                .exchange_activities = {{.fanout = 65535,
                                                         .paired = false,
                                                         .kind = ExchangeActivityKind::PartnerBusy,
                                                         .start_cycle = 9,
                                                         .end_cycle = 4}},
                                .exchange_event_cycles = 77},
                    ProfileStep{.local_index = 1, .kind = StepKind::Idle}},
      },
      TileProfilePlan{.physical_tile = 1,
                      .steps = {ProfileStep{.local_index = 0, .kind = StepKind::Synchronization}}},
  };
  application.debug_symbols = {{.name = "kernel_entry", .address = 0x4C010}};
  application.debug_regions = {
      {.physical_tile = 0xFFFFFFFF, .address = 0xFFFFFFF0, .size = 0xF, .name = "mailbox"},
      {.physical_tile = 4, .address = 0x4C000, .size = 0x400, .name = "text"}};
  return application;
}

}  // namespace qel_package::tests
