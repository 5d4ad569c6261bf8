// Damaged copies of the sample setup: setup.exe's own payload and checksum
// block, byte for byte at their own offsets, behind the extraction driver
// (built like setup.exe and padded to the same image size), cut short at
// every record boundary and at other offsets, with single bytes of every
// length field inverted, and with single bytes of the records' data changed.
// Each run must end in the step report or the consistency report, never in a
// crash, a hang, a success or a write outside the desktop directory; a
// changed data byte leaves the records before it written and its own not.
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

struct Case {
    std::string what;
    Bytes setup;
};

// Where the fields of each record of the sample lie.
struct Layout {
    uint32_t image = 0;                   // offset of record 0
    uint32_t block = 0;                   // offset of the checksum block
    std::vector<uint32_t> data, size;     // each record's data and its size
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
            l->data.push_back(info->dwDataOffset);
            l->size.push_back(info->cbData);
            l->lengthFields.insert(l->lengthFields.end(), {at, at + 4 + cbName, at + 8 + cbName + cbDir});
            l->fieldEnds.insert(l->fieldEnds.end(), {at + 4, at + 4 + cbName + 4, at + 8 + cbName + cbDir + 4,
                                                     info->dwDataOffset + info->cbData});
            return true;
        },
        &layout);
    EXPECT_EQ(scan.result, PAYLOAD_COMPLETE);
    EXPECT_TRUE(scan.fChecksums);
    layout.image = scan.dwOffset;
    layout.block = scan.dwChecksums;
    return layout;
}

// setup.exe's checksum block, payload and trailer behind the driver, at the
// same offsets.
Bytes Sample(Layout *layout)
{
    Bytes setup = ReadBytes(BuildFile("setup.exe"));
    *layout = LayoutOf(setup);
    Bytes sample = ReadBytes(BuildFile("extract_driver.exe"));
    EXPECT_LE(sample.size(), layout->block) << "the driver no longer fits in front of the payload";
    sample.resize(layout->block, 0);
    sample.insert(sample.end(), setup.begin() + layout->block, setup.end());
    return sample;
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

    Layout layout;
    Bytes sample = Sample(&layout);
    ASSERT_EQ(layout.records.size(), 36u);

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

TEST(DamagedSetup, EveryChangedDataByteEndsInTheReportBeforeItsRecordIsWritten)
{
    TempDir tmp;
    const std::string desk = tmp / "desk";
    WriteText(tmp / "readme.doc", "{\\rtf1 notes}");
    Layout layout;
    const Bytes sample = Sample(&layout);
    const std::vector<DistRecord> manifest = DistManifest();
    ASSERT_EQ(layout.data.size(), manifest.size());

    // The first and last byte of every record's data and a spread over them
    // (fixed seed); the short form takes the first and last record's, and
    // one in between over an earlier installation of it.
    struct Flip {
        uint32_t record, at;
    };
    std::vector<Flip> flips;
    const uint32_t last = uint32_t(layout.data.size() - 1);
    if (LongForm()) {
        for (uint32_t k = 0; k <= last; ++k)
            if (layout.size[k] != 0)
                flips.insert(flips.end(), {{k, 0}, {k, layout.size[k] - 1}});
        uint32_t seed = 4711;
        for (int i = 0; i < 100; ++i) {
            seed = seed * 1103515245u + 12345u;
            uint32_t k = (seed >> 8) % (last + 1);
            if (layout.size[k] != 0)
                flips.push_back({k, (seed >> 4) % layout.size[k]});
        }
    } else {
        flips = {{0, 0}, {0, layout.size[0] / 2}, {20, layout.size[20] - 1}, {last, layout.size[last] - 1}};
    }

    auto target = [&](uint32_t k) {
        return desk + (manifest[k].dir == "." ? "" : "\\" + manifest[k].dir) + "\\" + manifest[k].name;
    };
    const std::string exe = tmp / "setup.exe";
    int reports = 0;
    for (const Flip &flip : flips) {
        SCOPED_TRACE("record " + std::to_string(flip.record) + ", data byte " + std::to_string(flip.at));
        RemoveTree(desk);
        const bool earlier = flip.record == 20;
        if (earlier) {
            CreateDirectoryA(desk.c_str(), NULL);
            CreateDirectoryA((desk + "\\books").c_str(), NULL);
            CreateDirectoryA((desk + "\\books\\film").c_str(), NULL);
            WriteText(target(20), "earlier installation");
        }
        Bytes damaged = sample;
        damaged[layout.data[flip.record] + flip.at] ^= 0x5A;
        WriteBytes(exe, damaged.data(), damaged.size());
        Outcome out = RunExtraction(exe, tmp.path(), desk);

        EXPECT_EQ(out.exitCode, 3u);
        EXPECT_NE(out.box.text.find("Expression: walk.MatchesChecksum( pbData, dwBytes )"), std::string::npos)
            << out.box.text;
        EXPECT_NE(out.box.text.find("File: ..\\setup"), std::string::npos) << out.box.text;
        reports += out.exitCode == 3;
        for (uint32_t k = 0; k < flip.record; ++k)
            EXPECT_EQ(ReadBytes(target(k)), ReadBytes(SourceFile("dist/" + manifest[k].source))) << target(k);
        if (earlier)
            EXPECT_EQ(ReadText(target(20)), "earlier installation");
        else
            EXPECT_FALSE(FileExists(target(flip.record))) << target(flip.record);
        for (uint32_t k = flip.record + 1; k <= last; ++k)
            EXPECT_FALSE(FileExists(target(k))) << target(k);
        for (const std::string &path : Tree(desk))
            EXPECT_EQ(path.find("~sp"), std::string::npos) << path;
        EXPECT_FALSE(FileExists(desk + "\\register.txt"));
    }
    printf("changed data bytes: %zu cases, %d consistency reports\n", flips.size(), reports);
}

}  // namespace
