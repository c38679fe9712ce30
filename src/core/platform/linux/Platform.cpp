#include "core/support/Words.hpp"

namespace tarvik::Words {

Platform current() {
    return Platform::Linux;
}

}  // namespace tarvik::Words
