// Splitting session scripts into lines of words.
#include "script_text.h"

#include <gtest/gtest.h>

namespace simhost {
namespace {

std::vector<std::string> Texts(const std::vector<Token>& tokens) {
    std::vector<std::string> texts;
    for (const Token& token : tokens) texts.push_back(token.text);
    return texts;
}

TEST(ScriptText, WordsAndQuotedTextsWithEscapes) {
    std::vector<Token> tokens;
    std::string error;
    ASSERT_TRUE(TokenizeLine("expect text 65 20 \"say \\\"hi\\\" a\\\\b\"", tokens, error));
    EXPECT_EQ(Texts(tokens), (std::vector<std::string>{"expect", "text", "65", "20", "say \"hi\" a\\b"}));
    EXPECT_FALSE(tokens[3].quoted);
    EXPECT_TRUE(tokens[4].quoted);
    ASSERT_TRUE(TokenizeLine("expect file-contains x \"a\\r\\nb\"", tokens, error));
    EXPECT_EQ(tokens.back().text, "a\r\nb");
}

TEST(ScriptText, EmptyQuotedTextIsAToken) {
    std::vector<Token> tokens;
    std::string error;
    ASSERT_TRUE(TokenizeLine("expect text 265 54 \"\"", tokens, error));
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[4].text, "");
    EXPECT_TRUE(tokens[4].quoted);
}

TEST(ScriptText, HashStartsACommentOnlyWhereAWordCouldStart) {
    std::vector<Token> tokens;
    std::string error;
    ASSERT_TRUE(TokenizeLine("key down   # move on", tokens, error));
    EXPECT_EQ(Texts(tokens), (std::vector<std::string>{"key", "down"}));
    ASSERT_TRUE(TokenizeLine("expect text 1 2 \"#3 Wheel\" a#b", tokens, error));
    EXPECT_EQ(Texts(tokens), (std::vector<std::string>{"expect", "text", "1", "2", "#3 Wheel", "a#b"}));
    ASSERT_TRUE(TokenizeLine("   # only a comment", tokens, error));
    EXPECT_TRUE(tokens.empty());
}

TEST(ScriptText, MalformedQuotesAreErrors) {
    std::vector<Token> tokens;
    std::string error;
    EXPECT_FALSE(TokenizeLine("print \"open", tokens, error));
    EXPECT_EQ(error, "unterminated quote");
    EXPECT_FALSE(TokenizeLine("print \"ends\\", tokens, error));
    EXPECT_FALSE(TokenizeLine("print \"glued\"text", tokens, error));
}

TEST(ScriptText, ScriptKeepsLineNumbersAndReportsBadLines) {
    std::vector<std::string> errors;
    std::vector<ScriptLine> lines = ParseScript("create\n\n# comment\r\nname\r\nprint \"open\nframe", errors);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].number, 1);
    EXPECT_EQ(lines[1].number, 4);
    EXPECT_EQ(Texts(lines[1].tokens), std::vector<std::string>{"name"});
    EXPECT_EQ(lines[2].number, 6);
    EXPECT_EQ(errors, std::vector<std::string>{"5: unterminated quote"});
}

}  // namespace
}  // namespace simhost
