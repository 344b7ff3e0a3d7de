#include "web/PackedURL.h"

#include "unit/CaseTable.h"

#include <gtest/gtest.h>

#include <vector>

using web::TPackedURL;
using web::TURL;

namespace {

std::vector<std::string> EveryField(const TURL& Url) {
    return {std::to_string(Url.GetScheme()), Url.GetUserName(), Url.GetPassword(), Url.GetHostName(),
            std::to_string(Url.GetPort()), Url.GetUrlPath(), Url.GetExtraInfo(), Url.GetFragment(),
            Url.GetFileURL(), Url.GetFullURL(), Url.GetUnusableText(), Url.IsValid() ? "valid" : "not valid"};
}

} // namespace

TEST(PackedURL, GivesBackEveryFieldOfTheAddressItPacked) {
    std::vector<std::string> texts = {"mailto:Someone@Site.test", "file:///tmp/a%20b.html", "no address", ""};
    for (const auto& row : unittest::ReadCases("url/full.tsv", 9)) texts.push_back(row[0]);
    for (const auto& text : texts) {
        SCOPED_TRACE(text);
        TURL url;
        if (!text.empty()) url.SetFullURL(text);
        const TPackedURL packed(url);
        const TPackedURL copy = packed;
        EXPECT_EQ(EveryField(copy.Unpack()), EveryField(url));
        EXPECT_EQ(packed.GetScheme(), url.GetScheme());
        EXPECT_EQ(packed.GetHostName(), url.GetHostName());
        EXPECT_EQ(packed.HasExtraInfo(), !url.GetExtraInfo().empty());
    }
}
