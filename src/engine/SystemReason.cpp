#include "engine/SystemReason.h"

#include <cerrno>
#include <cstring>

std::string SystemReason(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
        case EIO:
        case EROFS:
        case EACCES:
        case EPERM:
        case ENOMEM:
        case EMFILE:
        case ENFILE:
        case ESTALE: {
            char buffer[128];
            return ::strerror_r(error, buffer, sizeof buffer);  // the GNU form returns the text
        }
        default:
            return {};
    }
}
