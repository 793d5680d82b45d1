// A value that game threads read while another thread replaces it: writers
// publish a finished immutable object, readers take a reference to whichever
// object is current and keep it for as long as they use it. A slim
// reader-writer lock guards only the pointer copy, so a reader never waits
// for a writer's work, only for the instant of the swap.
#pragma once

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "common/SrwLock.h"

namespace modroute {

template <typename T>
class Published {
public:
    Published() = default;
    explicit Published(std::shared_ptr<const T> initial) : m_current(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    std::shared_ptr<const T> Get() const {
        std::shared_lock lock(m_lock);
        return m_current;
    }

    void Publish(std::shared_ptr<const T> next) {
        std::shared_ptr<const T> previous;
        {
            std::unique_lock lock(m_lock);
            previous = std::exchange(m_current, std::move(next));
        }
        // The old object may be destroyed here, outside the lock.
    }

private:
    mutable SrwLock m_lock;
    std::shared_ptr<const T> m_current;
};

}  // namespace modroute
