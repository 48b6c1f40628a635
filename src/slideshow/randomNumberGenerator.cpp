#include "randomNumberGenerator.h"

#include <cstdlib>

namespace kivo {

void randomNumberGenerator::setupRandomNumberGeneratorWithPhotos(int32_t whichPhotos,
                                                                 int32_t orderSequence,
                                                                 int32_t maximum)
{
    fWhichPhotosType = whichPhotos;
    fOrderSequenceType = orderSequence;
    // A negative maximum has no position to offer but 0.
    fMax = maximum < 0 ? 0 : maximum;
}

int32_t randomNumberGenerator::getNextRandomNumber(int32_t /*previous*/)
{
    // Single precision on purpose: r / 2^31 can round up to 1.0, which yields
    // maximum + 1; that draw becomes 0 below. maximum + 1 is formed in float so
    // INT32_MAX cannot overflow.
    const float r = static_cast<float>(std::rand());
    const float x = r / 2147483648.0f * (static_cast<float>(fMax) + 1.0f);
    const int64_t position = static_cast<int64_t>(x);
    if (position > fMax)
        return 0;
    return static_cast<int32_t>(position);
}

} // namespace kivo
