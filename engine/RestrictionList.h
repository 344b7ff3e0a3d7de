#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Members of a restriction list as the user wrote it: a member ends at a comma
// or at white space (any byte up to the space), a member in double quotes may
// contain both ("" stands for one quote inside), and each member is trimmed.
// Empty members are dropped: an empty text would occur in every address.
std::vector<std::string> SplitCommaText(std::string_view Text);

// One of the job's restriction lists (address strings, hosts, extensions, MIME
// types), split once per job so that each check only compares.
class TRestrictionList {
  public:
    // OperationName names the check in the trace entry that reports a member
    // that is no valid wildcard pattern; such a member never matches as a pattern.
    void SetText(std::string_view Text, const char* OperationName);
    // Some member occurs in Text or matches all of it as a pattern, ignoring case.
    bool FoundInString(std::string_view Text) const;
    // Some member matches all of Text as a pattern, ignoring case.
    bool EqualsString(std::string_view Text) const;
    std::size_t Count() const { return Members.size(); }

  private:
    struct TMember {
        std::string Text; // lower case
        bool ValidPattern = true;
    };
    std::vector<TMember> Members;
};

} // namespace engine
