#include "description/reader.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using tamrick::FileItem;
using tamrick::ParseDescription;

namespace {

bool operator==(const FileItem& a, const FileItem& b) {
    return a.Action == b.Action && a.SourceName == b.SourceName && a.Required == b.Required &&
           a.Target == b.Target && a.StepCaption == b.StepCaption;
}

const FileItem kEmptyRow{};

} // namespace

// Keys trimmed of spaces only and matched in any case, a value cut at a second "=", the last
// line winning, and headings, comments and unknown keys ignored anywhere.
TEST(ReaderLines, TheTitleIsTheValueOfItsLastLine) {
    const struct {
        std::string text;
        std::wstring title;
    } kLines[] = {
        {"  SeTuPtItLe  =   My Title  \r\n", L"My Title"},
        {"\tsetuptitle=A\r\nsetup title=B\r\n", L""}, // a tab before the key, a space inside
        {"setuptitle=a = b=c", L"a"},
        {"setuptitle=First\rsetuptitle=Second\r", L"Second"},
        {"[Setup]\r\n;setuptitle=Commented\r\nother=1\r\n[Files]\r\nsetuptitle=After heading\r\n"
         "plain text\r\n",
         L"After heading"},
        {"setuptitle=a\0b"s, L"a\0b"s}, // NUL bytes are ordinary text
    };
    for (const auto& l : kLines) {
        EXPECT_EQ(ParseDescription(l.text).SetupTitle, l.title) << l.text;
    }
    EXPECT_FALSE(ParseDescription("[Files]\r\nplain text\r\n").FileItems);
    // In a file item the cut usually leaves too few fields.
    auto d = ParseDescription("fileitem=c|a=b.gms|1|gmspath|x");
    ASSERT_TRUE(d.FileItems);
    EXPECT_EQ(d.FileItems->size(), 1u);
    EXPECT_TRUE((*d.FileItems)[0] == kEmptyRow);
    EXPECT_EQ(ParseDescription("flagspicture=a.bmp\rflagspicture=\r").FlagsPicture, L"");
    const std::string longValue(20'000'000, 'x');
    EXPECT_EQ(ParseDescription("flagspicture=" + longValue).FlagsPicture.size(), longValue.size());
}

// CR LF, a lone LF and a lone CR each end a line.
TEST(ReaderLines, LineNumbersCountEmptyLinesAndEveryTerminator) {
    auto d = ParseDescription("\r\n\n\r[files]\r\nfileitem=c|s|1|gmspath|x\n");
    EXPECT_EQ(d.ItemLines, (std::vector<std::size_t>{5}));
}

TEST(ReaderItems, FieldsKeepTheirSpacesAndOnlyActionAndTargetAreLowerCased) {
    auto d = ParseDescription("fileitem=  C |My File.GMS| 1 |GmsPath|Step ONE  ");
    ASSERT_TRUE(d.FileItems);
    EXPECT_TRUE((*d.FileItems)[0] ==
                (FileItem{L"c ", L"My File.GMS", L" 1 ", L"gmspath", L"Step ONE"}));
}

TEST(ReaderItems, FourFieldsStoreAnEmptyCaptionAndExtraFieldsAreDropped) {
    auto d = ParseDescription("fileitem=c|a|1|gmspath\r\nfileitem=k|b|0|usergmspath|cap|x|y");
    ASSERT_TRUE(d.FileItems);
    ASSERT_EQ(d.FileItems->size(), 2u);
    EXPECT_TRUE((*d.FileItems)[0] == (FileItem{L"c", L"a", L"1", L"gmspath", L""}));
    EXPECT_TRUE((*d.FileItems)[1] == (FileItem{L"k", L"b", L"0", L"usergmspath", L"cap"}));
}

// A short item stores nothing: its row is the next stored item's, or stays empty at the end.
TEST(ReaderItems, AShortItemLeavesNoGapButAnEmptyLastRow) {
    const struct {
        const char* text;
        std::vector<std::wstring> sources; // "" for an empty row
        std::vector<std::size_t> lines;
    } kTables[] = {
        {"fileitem=c|a|1|gmspath|A\r\nfileitem=c|b\r\nfileitem=\r\nfileitem=c|c|1|gmspath|C\r\n",
         {L"a", L"c"},
         {1, 4}},
        {"fileitem=c|a|1|gmspath|A\r\nfileitem=c|b|1", {L"a", L""}, {1, 0}},
        {"fileitem=", {L""}, {0}},
        {"FILEITEM = c|a", {L""}, {0}},
        // Five empty fields are a stored row, not a short one.
        {"fileitem=||||\r\nfileitem=c|b|1|gmspath|B", {L"", L"b"}, {1, 2}},
    };
    for (const auto& t : kTables) {
        const auto d = ParseDescription(t.text);
        ASSERT_TRUE(d.FileItems) << t.text;
        std::vector<std::wstring> sources;
        for (const FileItem& item : *d.FileItems) {
            sources.push_back(item.SourceName);
            EXPECT_TRUE(!item.SourceName.empty() || item == kEmptyRow) << t.text;
        }
        EXPECT_EQ(sources, t.sources) << t.text;
        EXPECT_EQ(d.ItemLines, t.lines) << t.text;
    }
    EXPECT_FALSE(ParseDescription("fileitem").FileItems) << "a line without = is no fileitem line";
}

TEST(ReaderRobustness, NonAsciiLettersThatLowerCaseToAsciiMatchAKey) {
    // The Kelvin sign lower-cases to "k", so this is the delete action.
    auto d = ParseDescription("fileitem=\u212A|a|1|gmspath|x");
    ASSERT_TRUE(d.FileItems);
    EXPECT_EQ((*d.FileItems)[0].Action, L"k");
}

TEST(ReaderHostVersions, TheKeyIsReadInAnyCaseAndTheLastLineWinsAnEmptyOneIncluded) {
    EXPECT_FALSE(ParseDescription("setuptitle=A\r\n").HostVersions);
    EXPECT_EQ(ParseDescription("  HOSTVERSIONS =  X7 , 2020  \r\n").HostVersions, L"X7 , 2020");
    EXPECT_EQ(ParseDescription("hostversions=X7\r\nHostVersions=2020-2022\r\n").HostVersions,
              L"2020-2022");
    EXPECT_EQ(ParseDescription("hostversions=X7\r\nhostversions=\r\n").HostVersions, L"");
}

TEST(ReaderAddon, ItsKeysReachTheStateOnlyWithAValidIdAndTheLastLineWins) {
    using tamrick::ApplyDescription;
    using tamrick::SharedState;
    const struct {
        const char* text;
        const wchar_t* id; // what the state keeps
    } cases[] = {
        {"addonid=Old\r\nAddOnId = Tamrick.Demo-2_x\r\n", L"Tamrick.Demo-2_x"},
        {"addonid=ok\r\naddonid=\r\n", L""},           // the last line wins, an empty one too
        {"addonid=a b\r\n", L""},                      // a space
        {"addonid=a\\b\r\n", L""},                     // a separator
        {"addonid=..\r\n", L""},                       // the folder above
        {"addonid=abc.\r\n", L""},                     // would share the folder of "abc"
        {"addonid=\xE6\x8F\x92\xE4\xBB\xB6\r\n", L""}, // not ASCII
        {"addonid=a123456789b123456789c123456789d123456789e123456789f123456789ghijk\r\n", L""},
        {"addonid=a123456789b123456789c123456789d123456789e123456789f123456789ghij\r\n",
         L"a123456789b123456789c123456789d123456789e123456789f123456789ghij"},
    };
    for (const auto& c : cases) {
        SharedState state;
        ApplyDescription(ParseDescription(c.text), state);
        EXPECT_EQ(state.AddonId, c.id) << c.text;
    }

    SharedState state;
    state.SetupTitle = L"ignored";
    auto d = ParseDescription("setuptitle=Demo\r\naddonid=x\r\naddonversion=1.0\r\n"
                              "addonversion=2.0\r\npublisher=Tamrick\r\n");
    d.SetupTitle = L"Demo";
    ApplyDescription(std::move(d), state);
    EXPECT_EQ(state.AddonName, L"Demo"); // the title, when no name is given
    EXPECT_EQ(state.AddonVersion, L"2.0");
    EXPECT_EQ(state.Publisher, L"Tamrick");
    ApplyDescription(ParseDescription("addonname=Named\r\n"), state);
    EXPECT_EQ(state.AddonName, L"Named");
}
