// A DSP build in the command-line mode, assembled from the program's own steps (connection,
// embedded images, target check, DSP download) against the in-process virtual radio: the loader,
// then the pages, no application image and no codeplug step; return code 0 only on success; no
// file left behind on any path.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "app/core/AppUpdateSteps.h"
#include "app/core/RadioType.h"
#include "app/core/UpdateController.h"
#include "tests/app/core/PortFakes.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/download/CoffImage.h"

namespace quillon::test {
namespace {

// The DSP program: 100 words at word 8 of page 2 and 20 words at word 0 of page 0.
std::string Coff() {
    const ByteVector file = MakeCoff({{8, 100, 2}, {0, 20, 0}}, false);
    return std::string(file.begin(), file.end());
}

// The family-02 messages the radio received, in order, with runs of blocks (and the checksum
// verdicts between them) written once.
std::string DownloadMessages(const std::string& log) {
    std::istringstream lines(log);
    std::string line;
    std::string out;
    std::string last;
    while (std::getline(lines, line)) {
        if (line.rfind("RX 02 ", 0) != 0) {
            continue;
        }
        const std::string code = line.substr(3, 5);
        if (code == "02 05" || code == "02 06" || code == last) {
            continue;
        }
        out += (out.empty() ? "" : ",") + code;
        last = code;
    }
    return out;
}

struct DspCase {
    const char* what;
    std::string coff;
    bool pageFolder;      // a private folder can be made for the page files
    int silentFromBlock;  // -1: the radio answers everything
    int returnCode;
    std::string transcript;
    std::string messages;  // the family-02 messages the radio received
    const char* box = nullptr;
};

TEST(DspConsoleUpdate, LoaderThenPagesAndTheReturnCode) {
    const std::string steps =
        "\nExtracting embedded files......Done.\nChecking target radio......Done.\n";
    const std::string coff = Coff();
    const DspCase cases[] = {
        {"sound build", coff, true, -1, 0, steps + "Done.",
         "02 01,02 09,02 04,02 00,02 09,02 08,02 09,02 08,02 04"},
        // The page files are built before the loader goes: without them nothing is sent.
        {"no folder for the page files", coff, false, -1, 1, steps + "\nCOM error.", ""},
        {"DSP program cut short", coff.substr(0, 60), true, -1, 1,
         "\nExtracting embedded files......\nError.", "", EmbeddedFiles::kCodeError},
        {"radio falls silent in the second page", coff, true, 5, 1, steps + "\nCOM error.",
         "02 01,02 09,02 04,02 00,02 09,02 08,02 09"},
    };
    for (const DspCase& c : cases) {
        SCOPED_TRACE(c.what);
        OwnWorkingFolder folder;
        const std::filesystem::path parent = folder.Path() + "/private";
        std::filesystem::create_directory(parent);

        sim::RadioConfig config;
        config.download.silentFromBlock = c.silentFromBlock;
        std::ostringstream frames;
        sim::FrameLog log(frames);
        InProcessLink link(config, log);
        WorkflowView view(true);

        const std::map<std::string, std::string> images = {
            {"LOADER_1", kDspLoader},
            {"CODE_1", c.coff.substr(0, 40)},
            {"CODE_2", c.coff.size() > 40 ? c.coff.substr(40) : ""}};
        std::vector<ResourceEntry> entries;
        for (const auto& [name, text] : images) {
            const auto* p = reinterpret_cast<const unsigned char*>(text.data());
            entries.push_back({name.c_str(), p, p + text.size()});
        }
        const ResourceTable resources(entries);
        ResourceAttributes attributes;
        attributes.LoaderCount = 1;
        attributes.CodeCount = 2;
        attributes.MobileTypeSelect = 1;
        attributes.Series = 6;
        attributes.UpgradeType = ResourceAttributes::kUpgradeDsp;
        const uint8_t radioType = RadioTypeOfBuild(0, 6, 1);

        OnePortPresent presence;
        NoNames names;
        ComPortList ports(presence, names);
        RadioConnection connection(link.session, view, ports, nullptr, [] { return 1; });
        EmbeddedFiles files(resources, folder.Path());
        AppUpdateSteps appSteps(
            link.session, link.pump, view, connection, files, attributes, radioType,
            {c.pageFolder ? parent : std::filesystem::path(folder.Path() + "/missing")});
        appSteps.SetConsolePort(7);
        FakeExchange::Record record;
        UpdateController controller(
            link.session, link.pump, view, appSteps, UpdateBuild{0, 6, 2, false, radioType},
            FakeExchange::Factory(record), CodeplugBackup(folder.Path() + "/backups"));
        link.session.SetCancelFlag(&controller.Cancel());

        controller.RunAutoBootUpdate();  // what the command-line mode runs
        appSteps.CloseLink();

        EXPECT_EQ(controller.ReturnCode(), c.returnCode);
        EXPECT_EQ(view.transcript, c.transcript);
        ASSERT_EQ(view.boxes.size(), c.box == nullptr ? 0u : 1u);
        if (c.box != nullptr) {
            EXPECT_EQ(view.boxes[0].text, c.box);
        }
        EXPECT_EQ(DownloadMessages(frames.str()), c.messages) << frames.str();
        const sim::DownloadResponder& radio = link.radio.Radio().Download();
        EXPECT_TRUE(radio.CodeStream().empty()) << "no application image";
        EXPECT_EQ(record.uploads + record.downloads, 0) << "no codeplug step";
        if (c.returnCode == 0) {
            ASSERT_EQ(radio.DspPages().size(), 2u);
            EXPECT_EQ(radio.DspPages()[0], PageImage(0, 20, 2));
            EXPECT_EQ(radio.DspPages()[1], PageImage(8, 100, 1));
            EXPECT_TRUE(radio.DspEnded());
        }
        // Neither images nor page files outlive the run, on any path.
        EXPECT_TRUE(std::filesystem::is_empty(parent));
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            EXPECT_TRUE(entry.path() == parent) << entry.path();
        }
    }
}

}  // namespace
}  // namespace quillon::test
