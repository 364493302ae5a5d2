// Feeds arbitrary bytes to the virtual radio: once as the line from the updater (framing,
// dispatch, answers, faults), once as a scenario file. Neither may crash, hang or loop; a bad
// scenario must be refused with ScenarioError and leave the configuration as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/FrameLog.h"
#include "sim/RadioSimulator.h"
#include "sim/ScenarioLoader.h"
#include "sim/ScenarioValue.h"

using namespace quillon::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        RadioConfig config;
        // Some inputs play a radio with every fault switched on, so the fault paths run too.
        if (size > 0 && (data[0] & 1) != 0) {
            try {
                LoadScenarioText(R"({"box": true, "faults": [
                    {"code": "04", "noise": 3, "bad_checksum_first": true, "times": 2},
                    {"code": "041C", "answer_0420": true},
                    {"code": "09", "wrong_h2_first": true}]})",
                                 config);
            } catch (const ScenarioError&) {
                std::abort();  // the fixed scenario above is valid
            }
        }
        FrameLog log;
        RadioSimulator radio(config, log);
        // Deliver in uneven pieces, as a line does.
        size_t at = 0;
        while (at < size) {
            const size_t piece = 1 + (data[at] % 17);
            const size_t n = piece < size - at ? piece : size - at;
            for (const OutputStep& step : radio.Receive(data + at, n)) {
                if (step.delayMs < 0 || step.bytes.size() > 4096) {
                    std::abort();
                }
            }
            at += n;
        }
    }
    {
        RadioConfig config;
        const RadioConfig before = config;
        try {
            LoadScenarioText(std::string(reinterpret_cast<const char*>(data), size), config);
        } catch (const ScenarioError&) {
            if (config.faults.size() != before.faults.size()) {
                std::abort();  // a refused scenario changed the configuration
            }
        }
    }
    return 0;
}
