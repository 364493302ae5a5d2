#pragma once

// The tests' name for the example-image generator.
#include "parms/sample/CodeplugGenerator.h"

namespace quillon::testkit {

using sample::CodeplugGenerator;
using sample::FromRadioBytes;
using sample::GeneratedImage;
using sample::GeneratorOptions;
using sample::ImageSize;
using sample::kBlockMarker;
using sample::kImageWords;
using sample::kTrailerWords;
using sample::ToRadioBytes;

}  // namespace quillon::testkit
