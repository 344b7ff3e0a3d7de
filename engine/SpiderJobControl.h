#pragma once

#include "engine/FlattenFolder.h"

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace messaging {
class TSpiderOutputMsg;
}
namespace web {
class TURL;
}

namespace engine {

class TSpiderObjectList;

// Raised inside a job run when the front end stopped taking reports; the job
// run catches it and ends the job as failed.
class TOutputQueueGaveUp : public std::runtime_error {
public:
    TOutputQueueGaveUp() : std::runtime_error("Spider output msg queue full") {}
};

// What the parts that run on the spider thread during a job (the dispatcher,
// link extraction and rewriting, flattening and pruning) ask of the job run.
class TSpiderJobControl : public engine::TFolderJobControl {
public:
    virtual bool StopRequested() const = 0;
    // Puts Address into the job's object list (for the start, Referrer is the
    // job's starting referrer or null);
    // Redirects counts the redirects in a row that led to it (0 for a link);
    // Embedded says that a page shows or runs it rather than links to it.
    // True when it was inserted, or known and handed out again after it had
    // been dispatched before.
    virtual bool AddSpiderObject(TSpiderObjectList& List, const web::TURL& Address,
                                 const std::shared_ptr<const web::TURL>& Referrer,
                                 std::int32_t Distance, std::int32_t Redirects, bool Embedded) = 0;
    // Posts a copy of Msg. Throws TOutputQueueGaveUp when the front end has
    // taken nothing for the give-up period: the job cannot go on.
    virtual void Post(const messaging::TSpiderOutputMsg& Msg) = 0;
};

} // namespace engine
