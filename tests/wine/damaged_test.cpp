// Damaged copies of the sample setup: setup.exe's own payload, byte for byte
// at its own offset, behind the extraction driver (built like setup.exe and
// padded to the same image size), cut short at every record boundary and at
// other offsets, and with single bytes of every length field inverted. Each
// run must end in the step report or the consistency report, never in a
// crash, a hang, a success or a write outside the desktop directory.
//
// The short form (the test command) runs a spread of the cases; with
// SETUP_ROBUSTNESS=long in the environment it runs all of them and prints the
// counts (scripts/robustness).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "extract/payload.h"
#include "extract_support.h"
#include "robot.h"
#include "test_support.h"

using namespace testing_support;
using namespace extract_support;

namespace {

bool LongForm()
{
    const char *mode = getenv("SETUP_ROBUSTNESS");
    return mode != nullptr && std::string(mode) == "long";
}

struct Case {
    std::string what;
    Bytes setup;
};

// Where the fields of each record of the sample lie.
struct Layout {
    uint32_t image = 0;                   // offset of record 0
    std::vector<uint32_t> records;        // start of each record
    std::vector<uint32_t> lengthFields;   // cbName, cbDir, cbData of each record
    std::vector<uint32_t> fieldEnds;      // the other boundaries inside the records
};

Layout LayoutOf(const Bytes &setup)
{
    Layout layout;
    MemorySource source(setup.data(), uint32_t(setup.size()));
    PayloadScan scan;
    ScanPayload(
        &source, nullptr, &scan,
        [](void *context, const PayloadRecordInfo *info, ByteSource *) {
            Layout *l = static_cast<Layout *>(context);
            uint32_t cbName = uint32_t(strlen(info->szName)), cbDir = uint32_t(strlen(info->szDir));
            uint32_t at = info->dwOffset;
            l->records.push_back(at);
            l->lengthFields.insert(l->lengthFields.end(), {at, at + 4 + cbName, at + 8 + cbName + cbDir});
            l->fieldEnds.insert(l->fieldEnds.end(), {at + 4, at + 4 + cbName + 4, at + 8 + cbName + cbDir + 4,
                                                     info->dwDataOffset + info->cbData});
            return true;
        },
        &layout);
    EXPECT_EQ(scan.result, PAYLOAD_COMPLETE);
    layout.image = scan.dwOffset;
    return layout;
}

// The cases, in a fixed order; every `stride`-th is kept.
std::vector<Case> MakeCases(const Bytes &sample, const Layout &layout, size_t stride)
{
    std::vector<Case> cases;
    const uint32_t size = uint32_t(sample.size());
    auto cut = [&](uint32_t at, const std::string &why) {
        cases.push_back({"cut at " + std::to_string(at) + " (" + why + ")", Bytes(sample.begin(), sample.begin() + at)});
    };
    for (size_t i = 0; i < layout.records.size(); ++i)
        cut(layout.records[i], "record " + std::to_string(i));
    cut(size - 4, "trailer");
    for (uint32_t at : layout.fieldEnds)
        cut(at, "field boundary");
    for (uint32_t back = 1; back <= 8; ++back)
        cut(size - back, "end");
    // Spread over the payload and the zeros in front of it (fixed seed).
    uint32_t seed = 12345;
    for (int i = 0; i < 200; ++i) {
        seed = seed * 1103515245u + 12345u;
        uint32_t from = layout.image - 4096;
        cut(from + (seed >> 8) % (size - from), "spread");
    }
    auto flip = [&](uint32_t field, int byte, const std::string &what) {
        Bytes damaged = sample;
        damaged[field + byte] ^= 0xFF;
        cases.push_back({what + " byte " + std::to_string(byte) + " inverted", damaged});
    };
    const char *names[] = {"cbName", "cbDir", "cbData"};
    for (size_t i = 0; i < layout.lengthFields.size(); ++i)
        for (int b = 0; b < 4; ++b)
            flip(layout.lengthFields[i], b, std::string(names[i % 3]) + " of record " + std::to_string(i / 3));
    for (int b = 0; b < 4; ++b)
        flip(size - 4, b, "dwOffset");

    std::vector<Case> kept;
    for (size_t i = 0; i < cases.size(); i += stride)
        kept.push_back(std::move(cases[i]));
    return kept;
}

// What the reader says the program must do with the file.
std::string Predicted(const Bytes &setup, const std::string &desk)
{
    MemorySource source(setup.data(), uint32_t(setup.size()));
    PayloadScan scan;
    switch (ScanPayload(&source, desk.c_str(), &scan, nullptr, nullptr)) {
    case PAYLOAD_COMPLETE:
        return "success";
    case PAYLOAD_DAMAGED:
        return "consistency report";
    case PAYLOAD_REFUSED:
        return "step " + std::to_string(scan.nStep) + " error " + std::to_string(scan.dwError);
    default:
        return "step " + std::to_string(scan.nStep);
    }
}

// The program may stop earlier than the reader predicts only where the file
// system refuses a name that the reader accepts.
bool Agrees(const std::string &predicted, const std::string &actual)
{
    if (predicted == actual)
        return true;
    if (predicted == "success")
        return actual.compare(0, 5, "step ") == 0;
    if (predicted == "consistency report" || actual == "consistency report")
        return false;
    int stepPredicted = atoi(predicted.c_str() + 5), stepActual = atoi(actual.c_str() + 5);
    if (predicted.find(" error ") == std::string::npos)   // before the records: the step only
        return stepActual == stepPredicted;
    return stepActual < stepPredicted;
}

// The names directly in a folder.
std::set<std::string> TopLevel(const std::string &dir)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do
            names.insert(fd.cFileName);
        while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    return names;
}

TEST(DamagedSetup, EveryCutAndInvertedLengthEndsInAReportAndWritesNothingOutside)
{
    TempDir tmp;
    // The desktop directory two levels down, with neighbours around it.
    const std::string desk = tmp / "around\\A\\desk";
    CreateDirectoryA((tmp / "around").c_str(), NULL);
    CreateDirectoryA((tmp / "around\\A").c_str(), NULL);
    WriteText(tmp / "around\\neighbour.txt", "neighbour");
    WriteText(tmp / "around\\A\\sibling.txt", "sibling");
    WriteText(tmp / "readme.doc", "{\\rtf1 notes}");

    // setup.exe's payload and trailer behind the driver, at the same offset.
    Bytes setup = ReadBytes(BuildFile("setup.exe"));
    Layout layout = LayoutOf(setup);
    ASSERT_EQ(layout.records.size(), 36u);
    Bytes sample = ReadBytes(BuildFile("extract_driver.exe"));
    ASSERT_LE(sample.size(), layout.image) << "the driver no longer fits in front of the payload";
    sample.resize(layout.image, 0);
    sample.insert(sample.end(), setup.begin() + layout.image, setup.end());

    std::vector<Case> cases = MakeCases(sample, layout, LongForm() ? 1 : 23);
    const std::string exe = tmp / "setup.exe";
    WriteBytes(exe, sample.data(), sample.size());
    const std::set<std::string> around = Tree(tmp.path());
    const std::set<std::string> driveBefore = TopLevel("C:");

    std::map<std::string, int> outcomes;   // by report
    int reports = 0, consistency = 0, failures = 0, mismatches = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(tmp / "around\\A\\desk");
        WriteBytes(exe, c.setup.data(), c.setup.size());
        Outcome out = RunExtraction(exe, tmp.path(), desk);

        std::string kind;
        if (out.exitCode == 1 && out.boxShown && out.box.caption == "Setup Error"
            && out.box.text.compare(0, 12, "Failed step ") == 0) {
            int step = 0, error = 0;
            sscanf(out.box.text.c_str(), "Failed step %d, Error code is %d", &step, &error);
            kind = "step " + std::to_string(step) + " error " + std::to_string(error);
            ++reports;
        } else if (out.exitCode == 3 && out.boxShown && out.box.text.find("..\\setup") != std::string::npos) {
            kind = "consistency report";
            ++consistency;
        } else {
            kind = out.exitCode == 999 ? "hang" : out.exitCode == 0 ? "success" : "crash or other end";
            ADD_FAILURE() << kind << ": exit code " << out.exitCode << ", box \"" << out.box.text << "\"";
            ++failures;
        }
        ++outcomes[(c.what.compare(0, 4, "cut ") == 0 ? "cut short:   " : "inverted:    ") + kind];

        // Nothing new or gone outside the desktop directory.
        std::set<std::string> now;
        for (const std::string &path : Tree(tmp.path()))
            if (path.compare(0, 14, "around\\A\\desk\\") != 0)
                now.insert(path);
        now.erase("around\\A\\desk\\");
        now.erase("report.txt");
        if (now != around) {
            std::string diff;
            for (const std::string &path : now)
                diff += around.count(path) ? "" : " +" + path;
            for (const std::string &path : around)
                diff += now.count(path) ? "" : " -" + path;
            ADD_FAILURE() << "the disk around the desktop directory changed:" << diff;
            ++failures;
        }

        // The reader's account of the file agrees (a name that the reader
        // accepts may still be refused by the file system).
        std::string predicted = Predicted(c.setup, desk);
        if (!Agrees(predicted, kind)) {
            ADD_FAILURE() << "the reader predicts " << predicted << ", the program ended in " << kind;
            ++mismatches;
        }
    }
    EXPECT_EQ(TopLevel("C:"), driveBefore);

    printf("damaged setups: %zu cases: %d step reports, %d consistency reports, %d other, %d disagreements\n",
           cases.size(), reports, consistency, failures, mismatches);
    for (const auto &kv : outcomes)
        printf("  %-40s %d\n", kv.first.c_str(), kv.second);
}

}  // namespace
