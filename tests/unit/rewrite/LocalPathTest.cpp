// The names and texts that rewriting writes: relative paths, the mark, "_orig" names.
#include "web/HTMLParser.h"
#include "web/LinkType.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(RelativePath, LeadsFromOnePageToAnotherFile) {
    const struct {
        const char *From, *To, *Expected;
    } rows[] = {
        {"/D/site/a/page.html", "/D/site/img/x.gif", "../img/x.gif"},
        {"/D/site/a/page.html", "/D/site/a/b.html", "b.html"},
        {"/D/site/a/page.html", "/D/site/a/page.html", "page.html"},
        {"/D/site/a/page.html", "/D/site/a/deeper/c.htm", "deeper/c.htm"},
        {"/D/site/a/page.html", "/D/other/q.htm", "../../other/q.htm"},
        {"/D/site/page.html", "/E/x.htm", "../../E/x.htm"},
        {"/D//site/a/page.html", "/D/site/img/x.gif", "../img/x.gif"},
        // Folders differing in case are two folders on this file system.
        {"/D/Site/page.html", "/D/site/b.html", "../site/b.html"},
        // Without a common root the target stays as it is.
        {"/D/site/page.html", "relative/x.htm", "relative/x.htm"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(web::MakeRelativePath(row.From, row.To), row.Expected)
            << row.From << " -> " << row.To;
}

TEST(SavedFromMark, CountsTheAddressWithAtLeastFourDigits) {
    const struct {
        std::string Address, Expected;
    } rows[] = {
        {"http://site/a/page.html", "<!-- saved from url=(0023)http://site/a/page.html -->"},
        {"", ""},
        {"http://s/" + std::string(9991, 'x'),
         "<!-- saved from url=(10000)http://s/" + std::string(9991, 'x') + " -->"},
        // Neither the comment nor its line may end inside the address.
        {"http://s/a-->b\r\n", "<!-- saved from url=(0022)http://s/a--%3Eb%0D%0A -->"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(web::MakeSavedFromMark(row.Address), row.Expected) << row.Address.substr(0, 30);
}

TEST(OrigFileName, GoesBeforeTheExtension) {
    const struct {
        const char *Name, *Expected;
    } rows[] = {
        {"/D/site/page.html", "/D/site/page_orig.html"},
        {"/D/site/page", "/D/site/page_orig"},
        {"/D/site.test/page", "/D/site.test/page_orig"},
        {"/D/site/a.b.htm", "/D/site/a.b_orig.htm"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(web::MakeOrigFileName(row.Name), row.Expected);
}

TEST(ReplaceLinkTexts, SplicesTheGivenTextsAndDropsBaseTags) {
    const std::string html =
        "<base href=http://b/><a href=x>1</a><meta http-equiv=refresh content='0;url=http://t/'>";
    web::THTMLParser parser;
    web::TWebLinkList links;
    ASSERT_TRUE(parser.GetLinksInHTMLText(html, "http://site/", &links));
    std::istringstream input(html);
    std::ostringstream output;
    const auto result = web::ReplaceLinkTexts(
        input, output, links,
        [](const web::TWebLinkInfo& Link) -> std::optional<std::string> {
            if (Link.AttributeName == "HREF") return "[" + Link.Value + "]";
            if (Link.RefreshOffset != 0)
                return "{" + Link.Value.substr(Link.Value.find('=') + 1) + "}";
            return std::nullopt;
        },
        nullptr);
    ASSERT_TRUE(result) << result.ErrorText;
    EXPECT_EQ(output.str(),
              "<a href=[x]>1</a><meta http-equiv=refresh content='0;url={http://t/}'>");
}
