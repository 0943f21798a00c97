#pragma once

// Display value range of one channel (FID).
struct FidRange {
    double minimum = 0.0;
    double maximum = 0.0;
};
