// Writes a seeded synthetic participant extract: gen_extract N SEED [OUT]
// Records spread over every outcome group, many sampling units, offices, WIBs and case
// managers; a small share carry field errors, warnings or duplicate keys, as real files do.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

std::mt19937_64 rng;

int pick(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}
bool chance(double p) {
    return std::uniform_real_distribution<double>(0, 1)(rng) < p;
}

// Days since 2000-01-01 (negative before) to yyyymmdd.
int ymd(int days) {
    static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    days += 14610; // counted from 1960-01-01
    int y = 1960;
    for (;;) {
        const int n = (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) ? 366 : 365;
        if (days < n)
            break;
        days -= n;
        ++y;
    }
    int m = 0;
    for (;; ++m) {
        const int n = len[m] + (m == 1 && (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)));
        if (days < n)
            break;
        days -= n;
    }
    return y * 10000 + (m + 1) * 100 + days + 1;
}

// Days from 2000-01-01 of 2006-07-01 and 2007-06-30: the period of fiscal year 2008.
constexpr int kPeriodStart = 2373;
constexpr int kPeriodEnd = 2737;

struct Quarter {
    int employed;     // 1 yes, 2 no
    std::string type; // "" or 0..5
    std::string wage; // "" or amount
};

Quarter quarter(char test) {
    switch (test) {
    case 'W':
        return {1, std::to_string(pick(1, 4)),
                std::to_string(pick(300, 45000)) + "." + std::to_string(pick(10, 99))};
    case 'S':
        return {1, "5", chance(0.5) ? "" : "0"};
    case 'Y':
        return quarter(chance(0.8) ? 'W' : 'S');
    default:
        return {2, chance(0.5) ? "" : "0", chance(0.5) ? "" : "0"};
    }
}

// Quarter patterns of the groups 1-12 (13-24 repeat them for the employed at participation).
const char* const kPatterns[12] = {"WWW", "WWS", "WSW", "WSS", "SWW", "SWS",
                                   "SSW", "SSS", "YYN", "YNY", "YNN", "N??"};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RECORDS SEED [OUT]\n", argv[0]);
        return 2;
    }
    const long n = std::atol(argv[1]);
    rng.seed(std::strtoull(argv[2], nullptr, 10));
    FILE* out = argc > 3 ? std::fopen(argv[3], "wb") : stdout;
    if (!out) {
        std::perror(argv[3]);
        return 1;
    }
    static char buf[1 << 20];
    std::setvbuf(out, buf, _IOFBF, sizeof buf);
    const char* states[] = {"NY", "ny", "PA", "OH", "MI"};
    long lastSsn = 100000000;
    int lastExit = ymd(kPeriodStart);
    for (long i = 1; i <= n; ++i) {
        const int group = pick(1, 25);
        const int exitDay = pick(kPeriodStart, kPeriodEnd);
        const int partDay = exitDay - pick(30, 700);
        const int sepDay = partDay - pick(1, 200);
        const int appDay = partDay - pick(0, 60);
        const bool trained = chance(0.6);
        const int enterDay = partDay + pick(0, 20);
        const int doneDay = enterDay + pick(1, std::max(2, exitDay - enterDay - 1));
        const bool wia = chance(0.3);
        long ssn = 100000000 + static_cast<long>(rng() % 800000000);
        int exit = ymd(exitDay);
        if (chance(0.0002)) { // a duplicate of the previous record's key
            ssn = lastSsn;
            exit = lastExit;
        }
        lastSsn = ssn;
        lastExit = exit;

        int status;
        std::string other;
        Quarter q[3];
        if (group == 25) {
            status = pick(1, 3);
            other = std::to_string(pick(1, 5));
            for (auto& x : q)
                x = quarter(chance(0.5) ? 'W' : 'N');
        } else {
            status = group <= 12 ? pick(2, 3) : 1;
            other = chance(0.7) ? "" : (chance(0.5) ? "0" : "98");
            const char* p = kPatterns[(group - 1) % 12];
            for (int k = 0; k < 3; ++k)
                q[k] = quarter(p[k] == '?' ? (chance(0.5) ? 'W' : 'N') : p[k]);
        }
        std::string gender = std::to_string(pick(0, 2));
        if (chance(0.002))
            gender = "7"; // a field error
        std::string prior3 = std::to_string(pick(0, 30000));
        if (chance(0.001))
            prior3 = "150000"; // a warning
        const int unit = pick(1, 250);
        auto t = [&](int lo, int hi) { return std::to_string(pick(lo, hi)); };
        std::string train[4];
        for (auto& s : train)
            s = trained ? t(1, 2) : (chance(0.5) ? "" : "2");
        std::fprintf(
            out,
            "%ld,%s,%09ld,%d,%s,%s,%s,%s,%s,%s,%s,%s,%s,%d,%s,%s,%s,%s,%d,%s,%d,%s,%s,%d,%s,%s,"
            "%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%d,%s,%d,%s,%s,%d,%s,%d,%s,%s,%s,%s,"
            "%s,%s,%s,%s,%s,Office %02d,WIB %02d,Mgr %03d,%s,U%ld\r\n",
            i, states[i % 5], ssn, ymd(pick(-15000, -5000) + kPeriodStart), gender.c_str(),
            t(0, 2).c_str(), t(0, 2).c_str(), t(0, 1).c_str(), t(0, 1).c_str(), t(0, 1).c_str(),
            t(0, 1).c_str(), t(0, 1).c_str(), t(1, 4).c_str(), status, t(1, 2).c_str(),
            t(1, 4).c_str(), t(1, 2).c_str(), t(0, 17).c_str(), ymd(sepDay), t(1, 30).c_str(),
            ymd(appDay), t(10000, 99999).c_str(), t(1, 3).c_str(), ymd(partDay),
            trained ? std::to_string(ymd(enterDay)).c_str() : "",
            trained ? std::to_string(ymd(doneDay)).c_str() : "", trained ? t(1, 2).c_str() : "",
            trained ? t(1, 2).c_str() : "", trained ? t(1, 2).c_str() : "",
            trained ? "47201100" : "0", train[0].c_str(), train[1].c_str(), train[2].c_str(),
            train[3].c_str(), t(1, 2).c_str(), t(1, 2).c_str(), t(1, 2).c_str(), t(0, 7).c_str(),
            t(1, 2).c_str(), t(1, 2).c_str(), wia ? std::to_string(ymd(partDay)).c_str() : "",
            wia ? t(1, 5).c_str() : t(0, 5).c_str(), exit, other.c_str(), q[0].employed,
            q[0].type.c_str(), q[0].employed == 1 ? t(110000, 539000).c_str() : "", q[1].employed,
            q[1].type.c_str(), q[2].employed, q[2].type.c_str(), prior3.c_str(),
            t(0, 30000).c_str(), t(0, 30000).c_str(), q[0].wage.c_str(), q[1].wage.c_str(),
            q[2].wage.c_str(), t(1, 2).c_str(), t(1, 2).c_str(), pick(1, 40), pick(1, 12),
            pick(1, 600), chance(0.02) ? "" : std::to_string(unit).c_str(), i % 97);
    }
    if (out != stdout && std::fclose(out) != 0) {
        std::perror("write");
        return 1;
    }
    return 0;
}
