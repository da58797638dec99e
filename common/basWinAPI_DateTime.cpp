#include "basWinAPI_DateTime.h"

#include <climits>

namespace {

// Days since 1970-01-01 of a calendar date. Months and days outside their range roll over
// into the neighbouring ones, so a reading that is not quite valid still gives a count.
long long DaysFromCivil(long long year, long long month, long long day) {
    long long m0 = month - 1;
    long long carry = m0 >= 0 ? m0 / 12 : (m0 - 11) / 12;
    year += carry;
    long long m = m0 - carry * 12 + 1;
    // Counted from March so that the leap day falls at the end of the year.
    year -= m <= 2 ? 1 : 0;
    long long era = (year >= 0 ? year : year - 399) / 400;
    long long yoe = year - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + (day - 1);
}

// One field of the subtraction: the difference less the borrow, carried into range once.
int Subtract(int later, int earlier, int& borrow, int range) {
    int diff = later - borrow - earlier;
    borrow = 0;
    if (diff < 0) {
        diff += range;
        borrow = 1;
    }
    return diff;
}

}  // namespace

SYSTEMTIME SystemTimeDiff(const SYSTEMTIME& earlier, const SYSTEMTIME& later) {
    SYSTEMTIME r{};
    int borrow = 0;
    r.wMilliseconds = static_cast<WORD>(Subtract(later.wMilliseconds, earlier.wMilliseconds, borrow, 1000));
    r.wSecond = static_cast<WORD>(Subtract(later.wSecond, earlier.wSecond, borrow, 60));
    r.wMinute = static_cast<WORD>(Subtract(later.wMinute, earlier.wMinute, borrow, 60));
    r.wHour = static_cast<WORD>(Subtract(later.wHour, earlier.wHour, borrow, 24));
    long long days = DaysFromCivil(later.wYear, later.wMonth, later.wDay) -
                     DaysFromCivil(earlier.wYear, earlier.wMonth, earlier.wDay) - borrow;
    // The day field is a signed 16-bit count; a span it cannot hold leaves it 0 and the
    // rest of the result stands.
    if (days >= SHRT_MIN && days <= SHRT_MAX) r.wDay = static_cast<WORD>(static_cast<short>(days));
    return r;
}
