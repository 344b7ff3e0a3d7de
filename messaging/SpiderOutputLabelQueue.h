#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

namespace messaging {

class TSpiderOutputSplitter;

// The labels a front end's notifier is given on the engine's threads, kept
// until the front end's receiving thread hands them to the splitter. That
// thread takes labels until none is left, so it needs waking only for the
// first label after it found the list empty: a batch costs one wake-up.
class TSpiderOutputLabelQueue {
  public:
    // Any thread. True when the receiving thread must be woken.
    bool Push(std::uint32_t Label);
    // The receiving thread: every waiting label, in order, to Splitter.
    void DeliverTo(TSpiderOutputSplitter& Splitter);

  private:
    std::mutex Lock; // guards Labels
    std::deque<std::uint32_t> Labels;
};

} // namespace messaging
