#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// What one update run did, as its steps find it out: when it ran, on which port and radio, the
// versions before and after, each step's result and the outcome. The console's closing summary
// and the update log's line are both made from it. Empty texts stand for what is not known.
struct UpdateRecord {
    enum class Result { Done, Failed, Skipped };
    struct Step {
        std::string name;
        Result result = Result::Done;
        std::string detail;
    };
    using Versions = std::vector<std::pair<std::string, std::string>>;
    using Clock = std::chrono::system_clock;
    // The version names, as the radio's version panel heads them.
    static constexpr char kBootVersion[] = "Boot Load Version";
    static constexpr char kFileFormatVersion[] = "File Format Version";

    Clock::time_point started{};
    Clock::time_point ended{};
    bool console = true;
    int port = 0;  // the COM number, 0 when none was opened
    std::string device;
    std::string serial;
    std::string model;
    std::string series;
    Versions versionsBefore;
    Versions versionsAfter;
    std::string codeplugFormatBefore;
    std::string codeplugFormatAfter;
    std::vector<Step> steps;
    int returnCode = 0;
    std::string reason;    // why the run ended as it did (1 to 3)
    std::string nextStep;  // what the person does next (1 to 3)
    std::string backup;    // where the codeplug read from the radio was saved

    // A fresh record of a run that starts now.
    void Begin(bool consoleMode);
    void AddStep(std::string name, Result result, std::string detail = {});
    // A failed step, unless the last step recorded is already this one's failure.
    void Fail(const std::string& name, const std::string& detail = {});
    // Sets or replaces a version by its name.
    static void SetVersion(Versions& versions, const std::string& name, const std::string& value);
    // Ends the run with `code`: the reason of a failure without one is its first failed step.
    void Finish(int code);

    // The return code's meaning, as the usage text lists it.
    static const char* MeaningOf(int code);
    const Step* FirstFailure() const;
};

}  // namespace quillon
