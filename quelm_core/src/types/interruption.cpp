// The process-wide interruption poll.
//
// Atomic, so that installing the poll from one thread while another runs a loop is not a
// data race; relaxed ordering is enough, since the poll carries no data with it.

#include "types/interruption.hpp"

#include <atomic>

namespace quelm {
namespace {

std::atomic<InterruptionPoll> installed_poll{nullptr};

} // namespace

InterruptionPoll set_interruption_poll(InterruptionPoll poll) noexcept {
    return installed_poll.exchange(poll, std::memory_order_relaxed);
}

void check_for_interruption() {
    const InterruptionPoll poll = installed_poll.load(std::memory_order_relaxed);
    if (poll != nullptr && poll())
        throw Interrupted();
}

} // namespace quelm
