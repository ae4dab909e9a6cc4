#include "Platform/Iso8601.hpp"

#include <cstdio>
#include <ctime>

namespace norvo {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool digits(std::string_view s, std::size_t at, std::size_t count, int& out) {
    if (at + count > s.size()) return false;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    out = value;
    return true;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

Date wholeSeconds(Date date) { return std::chrono::floor<std::chrono::seconds>(date); }

std::string formatISO8601(Date date) {
    const auto secs = std::chrono::floor<std::chrono::seconds>(date).time_since_epoch().count();
    std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

std::optional<Date> parseISO8601(std::string_view s) {
    int year, month, day, hour, minute, second;
    if (!digits(s, 0, 4, year) || s.size() < 19 || s[4] != '-' || !digits(s, 5, 2, month) || s[7] != '-' ||
        !digits(s, 8, 2, day) || (s[10] != 'T' && s[10] != 't' && s[10] != ' ') || !digits(s, 11, 2, hour) ||
        s[13] != ':' || !digits(s, 14, 2, minute) || s[16] != ':' || !digits(s, 17, 2, second))
        return std::nullopt;
    // A day past the month's end would silently roll into the next month.
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::size_t i = 19;
    int64_t nanos = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        int64_t scale = 100000000;
        const std::size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            nanos += (s[i] - '0') * scale;
            scale /= 10;
            ++i;
        }
        if (i == start) return std::nullopt;
    }
    int64_t offsetSeconds = 0;
    if (i < s.size() && (s[i] == 'Z' || s[i] == 'z')) {
        ++i;
    } else if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        const int sign = s[i] == '-' ? -1 : 1;
        int oh, om;
        if (!digits(s, i + 1, 2, oh)) return std::nullopt;
        std::size_t j = i + 3;
        if (j < s.size() && s[j] == ':') ++j;
        if (!digits(s, j, 2, om)) return std::nullopt;
        offsetSeconds = sign * (oh * 3600 + om * 60);
        i = j + 2;
    } else {
        return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    const int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const int64_t total = days * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
    return Date{} + std::chrono::seconds(total) +
           std::chrono::duration_cast<Date::duration>(std::chrono::nanoseconds(nanos));
}

}  // namespace norvo
