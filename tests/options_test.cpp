// --help and --version, as the only argument of every program, answered
// before any input is read; every other argument as the program took it
// before the two options existed.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support.hpp"

using namespace test_support;

namespace {

const char* const usage_4 = " USAGE: <YY> <MM> <DD> <STATE/REGION> < Input File\n";
const char* const usage_5 = " USAGE: <YY> <MM> <DD> <ELEM> <STATE/REGION> < Input File \n";
const char* const read_fails = ": cannot read standard input: Is a directory\n";

// One row per program. `helpx` is what `PROGRAM --helpx`
// gives with a directory on standard input: the programs that test their
// arguments write their usage line for the blank ones (datereport and the
// period-of-record reports) or refuse the number (topten reads "--hel"),
// and those that do not go on to read their input (nowreport ignores its
// arguments, fulltable takes "--" as the region code). `PROGRAM --help x`
// gives the same, since an option counts only as the only argument, unless
// the row says otherwise.
struct outcome {
    int status;
    std::string out, err;
};
struct program_row {
    std::string name;
    outcome helpx;
    // What "PROGRAM --help x" gives, where it differs from "--helpx": a
    // program new with the options that reads them anywhere among its
    // arguments answers with its help (status 0 and "Usage:" on top), one
    // that tests its arguments reads "--help" as a number.
    std::optional<outcome> help_x = std::nullopt;
    bool options_anywhere = false;
};

const char* const map_usage = " <YEAR> <OUTPUT.png|.svg|.pdf> < Input File (REGION_ranks_all.txt)\n";
const char* const chart_usage =
    " <START_DAY> <DURATION_#DAYS> <YEAR> <OUTPUT.png|.svg|.pdf> < Input File (REGION_ranks_all.txt)\n";

const std::vector<program_row> programs = {
    {"nowreport", {1, "", std::string("nowreport") + read_fails}},
    {"datereport", {0, usage_4, ""}},
    {"spanreport", {0, usage_4, ""}},
    {"highreport", {0, usage_4, ""}},
    {"lowreport", {0, usage_4, ""}},
    {"elemreport", {0, usage_5, ""}},
    {"fulltable", {1, "", std::string("fulltable") + read_fails}},
    {"topten", {1, "", "topten: argument 1, columns 1-5: malformed integer field '--hel'\n"}},
    {"topten-trace", {1, "", "topten-trace: argument 1, columns 1-5: malformed integer field '--hel'\n"}},
    {"ghcnimport", {1, "", "ghcnimport: unknown option '--helpx' (see ghcnimport --help)\n"}, std::nullopt, true},
    // A blank OUTPUT (or YEAR) writes the usage line; "--he" is not a year.
    {"rankmap", {0, map_usage, ""},
     outcome{1, "", "rankmap: argument 1, columns 1-4: malformed integer field '--he'\n"}},
    {"rankchart", {0, chart_usage, ""}},
};

// Standard input is a directory, so a program that reads it fails; and
// fulltable's table directory is a scratch one, whatever the build's is.
run_result run_without_input(const std::string& name, const std::vector<std::string>& args) {
    run_options o;
    o.input_file = scratch_dir();
    o.env = {{"RANKS_ALL_DIR", scratch_dir()}};
    return run(program(name), args, "", o);
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(Options, VersionAndHelpWithoutReadingInput) {
    for (const program_row& p : programs) {
        SCOPED_TRACE(p.name);
        run_result v = run_without_input(p.name, {"--version"});
        EXPECT_EQ(v.status, 0);
        EXPECT_EQ(v.out, p.name + " (window-ranks) " SUITE_VERSION "\n");
        EXPECT_EQ(v.err, "");

        run_result h = run_without_input(p.name, {"--help"});
        EXPECT_EQ(h.status, 0);
        EXPECT_EQ(h.err, "");
        EXPECT_EQ(h.out.rfind("Usage: " + p.name + " ", 0), 0u) << h.out;
        EXPECT_NE(h.out.find("\n  --help "), std::string::npos) << h.out;
        EXPECT_NE(h.out.find("\n  --version "), std::string::npos) << h.out;
        EXPECT_TRUE(ends_with(h.out, "\nSee " + p.name + "(1) for the whole manual.\n")) << h.out;
    }
}

TEST(Options, OtherArgumentsAsBefore) {
    for (const program_row& p : programs) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{"--helpx"}, {"--help", "x"}}) {
            SCOPED_TRACE(p.name + " " + args[0] + (args.size() > 1 ? " " + args[1] : ""));
            run_result r = run_without_input(p.name, args);
            bool help_x = args.size() > 1;
            if (help_x && p.options_anywhere) {
                EXPECT_EQ(r.status, 0);
                EXPECT_EQ(r.out.rfind("Usage: " + p.name + " ", 0), 0u) << r.out;
                continue;
            }
            const outcome& want = help_x && p.help_x ? *p.help_x : p.helpx;
            EXPECT_EQ(r.status, want.status);
            EXPECT_EQ(r.out, want.out);
            EXPECT_EQ(r.err, want.err);
        }
    }
}

TEST(Options, EveryProgramHasAManualPageAndEveryPageARow) {
    std::set<std::string> pages, rows;
    for (const std::string& f : list_dir(std::string(SUITE_SOURCE_DIR) + "/man"))
        if (ends_with(f, ".1")) pages.insert(f.substr(0, f.size() - 2));
    for (const program_row& p : programs) rows.insert(p.name);
    EXPECT_EQ(pages, rows) << "each program needs a row above and a page man/PROGRAM.1";
}
