#include "base/exit_codes.h"
#include "install/run.h"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The codes of the administrators' table in docs/deploying.md, in its order.
std::vector<int> DocumentedCodes() {
    std::ifstream document(TAMRICK_DEPLOYING_MD);
    EXPECT_TRUE(document.is_open()) << TAMRICK_DEPLOYING_MD;
    std::vector<int> codes;
    std::string line;
    while (std::getline(document, line) && line != "| code | meaning |") {
    }
    std::getline(document, line); // the separator row
    while (std::getline(document, line) && line.starts_with("| ")) {
        int code = -1;
        const auto [end, error] = std::from_chars(line.data() + 2, line.data() + line.size(), code);
        EXPECT_TRUE(error == std::errc{} && std::string_view(end).starts_with(" | ")) << line;
        codes.push_back(code);
    }
    return codes;
}

} // namespace

TEST(ExitCodes, TheAdministratorsTableListsEveryCodeInOrderEachOnceAndNoneReadsAsAnother) {
    std::vector<int> ours;
    std::set<int> distinct;
    for (const auto& meaning : tamrick::exit_code::kMeanings) {
        ours.push_back(meaning.code);
        EXPECT_TRUE(distinct.insert(meaning.code).second) << "twice: " << meaning.code;
        EXPECT_NE(meaning.code, 3) << "3 is what an aborted program ends with";
        EXPECT_NE(meaning.code, 259) << "259 reads as a process still running";
    }
    EXPECT_EQ(DocumentedCodes(), ours);
}

// What deploying.md promises for each way a run ends.
TEST(ExitCodes, EachEndingOfTheRunHasTheDocumentedCode) {
    using tamrick::RunOutcome;
    const std::pair<RunOutcome, int> kCodes[] = {
        {RunOutcome::Succeeded, 0},          {RunOutcome::Cancelled, 1},
        {RunOutcome::MissingFile, 4},        {RunOutcome::BadFolder, 5},
        {RunOutcome::HostNotInstalled, 429}, {RunOutcome::Failed, 6}};
    for (const auto& [outcome, code] : kCodes) {
        EXPECT_EQ(tamrick::ExitCodeFor(tamrick::EndingOf(outcome)), code) << code;
    }
}
