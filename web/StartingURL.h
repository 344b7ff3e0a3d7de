#pragma once

#include "jobs/JobTypes.h"
#include "web/URLType.h"

#include <string_view>

namespace web {

// The job's starting address with its user name and password. Not valid when
// the job's address does not parse; its unusable text then says why.
TURL GetStartingURL(const jobs::TCopyJob& Job);
// Stores Url in the job's fields as a saved job holds them (normalised,
// credentials apart); an address that is not valid leaves its unusable text.
void SetStartingURL(jobs::TCopyJob& Job, const TURL& Url);
// Parses Text into the job's fields; false when it is no usable address.
bool SetStartingURL(jobs::TCopyJob& Job, std::string_view Text);
// An address loaded from a file as it stands, brought into the form a saved job holds.
void NormalizeStartingURL(jobs::TCopyJob& Job);

} // namespace web
