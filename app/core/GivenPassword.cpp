#include "app/core/GivenPassword.h"

namespace quillon {

bool GivenPassword::Offer(std::string& password) {
    if (++requests_ > 1 || !password_) {
        return false;
    }
    password = *password_;
    return true;
}

}  // namespace quillon
