#pragma once

#include <vector>

namespace queue {

// The borrowed observers of one model, told of events in subscription order.
template <typename TObserver> class TObserverList {
  public:
    void Add(TObserver& Observer) { Items.push_back(&Observer); }
    void Remove(TObserver& Observer) { std::erase(Items, &Observer); }

    // On a copy of the list, so an observer may unsubscribe while it is told.
    template <typename Event> void Notify(Event&& Tell) const {
        const std::vector<TObserver*> observers = Items;
        for (TObserver* observer : observers)
            Tell(*observer);
    }

  private:
    std::vector<TObserver*> Items;
};

} // namespace queue
