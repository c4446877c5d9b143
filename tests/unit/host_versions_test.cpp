#include "description/host_versions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tamrick::HostVersionList;
using tamrick::HostVersionsPhrase;
using tamrick::MajorForName;
using tamrick::ParseHostVersions;

namespace {

using Majors = std::vector<int>;

// "kind:entry" for each problem, with the repeated majors of a duplicate: "duplicate:17:17,18".
std::vector<std::wstring> Problems(const HostVersionList& list) {
    std::vector<std::wstring> texts;
    for (const auto& p : list.problems) {
        // In the order of the enumeration.
        constexpr const wchar_t* kKinds[] = {L"empty", L"unknown", L"range", L"reversed",
                                             L"duplicate"};
        std::wstring text = kKinds[static_cast<int>(p.kind)];
        text += L":" + p.entry;
        for (std::size_t i = 0; i < p.majors.size(); ++i) {
            text += (i == 0 ? L":" : L",") + std::to_wstring(p.majors[i]);
        }
        texts.push_back(text);
    }
    return texts;
}

using Texts = std::vector<std::wstring>;

} // namespace

TEST(HostVersionNames, EachReleaseHasTheNextMajorExcept2023WhichKept2022sInAnyCase) {
    const std::vector<std::wstring> releases{L"X3",   L"X4",   L"X5",   L"X6",   L"X7",
                                             L"X8",   L"2017", L"2018", L"2019", L"2020",
                                             L"2021", L"2022", L"2023", L"2024", L"2025"};
    int expected = 13;
    for (const std::wstring& name : releases) {
        EXPECT_EQ(MajorForName(name), expected) << name;
        expected += name == L"2022" ? 0 : 1;
    }
    EXPECT_EQ(tamrick::HostVersionNames().size(), releases.size());
    // A name matches in any case, but nothing else does.
    EXPECT_EQ(MajorForName(L"x7"), 17);
    for (const wchar_t* other : {L"X7 ", L"Ｘ７", L"17", L""}) {
        EXPECT_EQ(MajorForName(other), std::nullopt) << other;
    }
}

TEST(HostVersionsPhrase, ARunOfThreeOrMoreIsWrittenFromToAndAllIsJoinedWithTheEnumerationComma) {
    EXPECT_EQ(HostVersionsPhrase(Majors{17, 18, 19, 20, 21, 22}), L"X7 至 2020");
    EXPECT_EQ(HostVersionsPhrase(Majors{13, 14, 15}), L"X3 至 X5");
    EXPECT_EQ(HostVersionsPhrase(Majors{22, 23, 24}), L"2020 至 2022/2023");
    EXPECT_EQ(HostVersionsPhrase(Majors{17}), L"X7");
    EXPECT_EQ(HostVersionsPhrase(Majors{17, 18}), L"X7、X8");
    EXPECT_EQ(HostVersionsPhrase(Majors{13, 17, 18, 19, 22}), L"X3、X7 至 2017、2020");
    EXPECT_EQ(HostVersionsPhrase(Majors{13, 15, 26, 27}), L"X3、X5、2025、27");
    EXPECT_EQ(HostVersionsPhrase(Majors{}), L"");
}

// Each value, what it names (ascending) and its problems, "kind:entry", with the repeated majors
// of a duplicate: "duplicate:17:17,18".
TEST(HostVersionsParse, EachValueNamesItsAscendingSetAndReportsEveryEntryThatNamesNothing) {
    const struct {
        std::wstring value;
        Majors majors;
        Texts problems;
    } kValues[] = {
        {L"", {}, {}},
        {L"   ", {}, {}},
        {L"X7", {17}, {}},
        {L"2020,x7", {17, 22}, {}},
        {L"17,22", {17, 22}, {}},
        {L"X7-2020", {17, 18, 19, 20, 21, 22}, {}},
        {L"17-X8", {17, 18}, {}},
        {L"2024-27", {25, 26, 27}, {}},
        {L"x3,X6-x6,99", {13, 16, 99}, {}},
        {L"2022-2023", {24}, {}},
        // Spaces around entries and around the dash are ignored, other blanks are not.
        {L"  X7 ,  2020  , X3 - X4 ", {13, 14, 17, 22}, {}},
        {L"X7,\t2020,X 8,\u30002019",
         {17},
         {L"unknown:\t2020", L"unknown:X 8", L"unknown:\u30002019"}},
        {L"12,100,0,013,99999999999999999999999,12-14",
         {13},
         {L"range:12", L"range:100", L"range:0", L"range:99999999999999999999999", L"range:12-14"}},
        {L"X9,2016,2026,CorelDRAW X7,X7-,-X8,X3-X4-X5,X2-X4,12-X9,X7;X8,Ｘ７，２０２０",
         {},
         {L"unknown:X9", L"unknown:2016", L"unknown:2026", L"unknown:CorelDRAW X7", L"unknown:X7-",
          L"unknown:-X8", L"unknown:X3-X4-X5", L"unknown:X2-X4", L"unknown:12-X9", L"unknown:X7;X8",
          L"unknown:Ｘ７，２０２０"}},
        {L"2020-X7,X8", {18}, {L"reversed:2020-X7"}},
        // Named twice: reported on the later entry and counted once.
        {L"X7-X8, 17, 2017, X8-2017, 2022, 2023",
         {17, 18, 19, 24},
         {L"duplicate:17:17", L"duplicate:X8-2017:18,19", L"duplicate:2023:24"}},
        {L",X7,, ,2020,", {17, 22}, {L"empty:", L"empty:", L"empty:", L"empty:"}},
    };
    for (const auto& v : kValues) {
        const HostVersionList list = ParseHostVersions(v.value);
        EXPECT_EQ(list.majors, v.majors) << ::testing::PrintToString(v.value);
        EXPECT_EQ(Problems(list), v.problems) << ::testing::PrintToString(v.value);
    }
    EXPECT_TRUE(ParseHostVersions(L"X3-99").problems.empty());
    EXPECT_EQ(ParseHostVersions(L"X3-99").majors.size(), 87u);
}
