"""Application packages and cycle profiles of the many-tile accelerator.

Records are plain values with the C++ field names; operations raise PackageError
subclasses.
"""

from ._errors import (CapnpError, InvalidPackageError, IoError, PackageError, SchemaEnumError,
                      Utf8Error)
from ._native import ApplicationView
from ._native import SCHEMA_VERSION, TARGET, TILE_MEMORY_BASE, TILE_MEMORY_END, TILE_MEMORY_SIZE
from ._records import (Application, Binding, CycleSample, CycleTotal, DebugRegion, DebugSymbol,
                       DeviceConfigWrite, EntryPoint, ExchangeActivityKind, HostCall,
                       HostExchange, HostPage, HostSlice, KindTotal, NamedTotal,
                       ProfileExchangeActivity, ProfileMetadata, ProfileReport, ProfileStep,
                       ProfileSummary, RegionSlice, Segment, StepKind, TileImage, TileProfile,
                       TileProfilePlan, TileSummary, validate_host_batch_ends)

__all__ = [
    "Application", "ApplicationView", "Binding", "CapnpError", "CycleSample", "CycleTotal", "DebugRegion",
    "DebugSymbol", "DeviceConfigWrite", "EntryPoint", "ExchangeActivityKind", "HostCall",
    "HostExchange", "HostPage", "HostSlice", "InvalidPackageError", "IoError", "KindTotal",
    "NamedTotal", "PackageError", "ProfileExchangeActivity", "ProfileMetadata", "ProfileReport",
    "ProfileStep", "ProfileSummary", "RegionSlice", "SCHEMA_VERSION", "SchemaEnumError",
    "Segment", "StepKind", "TARGET", "TILE_MEMORY_BASE", "TILE_MEMORY_END", "TILE_MEMORY_SIZE",
    "TileImage", "TileProfile", "TileProfilePlan", "TileSummary", "Utf8Error",
    "validate_host_batch_ends",
]
