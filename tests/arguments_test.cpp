#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter.h"

TEST(Arguments, EmptyElementsTakeNoPositionAndLaterOnesAreIgnored) {
    struct ArgumentCase {
        std::vector<std::string> elements;  // after the program's name
        std::string first, second, third;
    };
    const ArgumentCase cases[] = {
        {{}, "", "", ""},
        {{"in"}, "in", "", ""},
        {{"in", "out"}, "in", "out", ""},
        {{"in", "out", ""}, "in", "out", ""},
        {{"", "in", "out", "lf"}, "in", "out", "lf"},
        {{"in", "", "out", "", "", "lf", "", "x"}, "in", "out", "lf"},
        {{"in", "out", "lf", "extra", "more"}, "in", "out", "lf"},
        {{"my \"odd\" file.txt", " out ", "crlf "}, "my \"odd\" file.txt", " out ", "crlf "},
    };
    for (const ArgumentCase& row : cases) {
        std::vector<std::string> storage = {"mordrin"};
        storage.insert(storage.end(), row.elements.begin(), row.elements.end());
        std::vector<char*> argv;
        for (std::string& element : storage) argv.push_back(element.data());
        argv.push_back(nullptr);
        StartRun(static_cast<int>(storage.size()), argv.data());
        SCOPED_TRACE(testing::PrintToString(row.elements));
        EXPECT_EQ(std::string(ArgumentAt(1)), row.first);
        EXPECT_EQ(std::string(ArgumentAt(2)), row.second);
        EXPECT_EQ(std::string(ArgumentAt(3)), row.third);
    }
}

TEST(Arguments, KeywordsAreComparedExactly) {
    const std::pair<const char*, int32_t> accepted[] = {
        {"CR", EolCr}, {"cr", EolCr}, {"LF", EolLf}, {"lf", EolLf}, {"CRLF", EolCrLf}, {"crlf", EolCrLf},
    };
    for (auto [keyword, eolType] : accepted) {
        EolType = 0;
        SelectEolType(keyword);
        EXPECT_EQ(EolType, eolType) << keyword;
    }
}
