#include "core/common/operation.h"

#include <chrono>
#include <thread>

namespace cfg {

void Operation::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace cfg
