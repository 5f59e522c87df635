#include "world/player_statistics.h"

#include "files/chunk_stream.h"
#include "files/chunk_transfer.h"
#include "world/money.h"
#include "world/world_warnings.h"

namespace {

constexpr uint32_t kTagRows = ChunkTag("pst1");
constexpr uint32_t kTagAccounts = ChunkTag("pst2");
constexpr uint32_t kTagHistory = ChunkTag("pst3");

int64_t ColumnOf(const PlayerStatistics::Row& row, uint32_t column) {
    switch (column) {
    case 0:
        return row.thisYear;
    case 1:
        return row.lastYear;
    case 2:
        return row.total;
    default:
        return 0;
    }
}

} // namespace

void PlayerStatistics::Reset() {
    rows_.assign(kRowCount, Row{});
    accounts_.assign(kAccountCount, 0);
    history_.assign(kInitialHistoryYears, YearPair{0, 0});
}

void PlayerStatistics::Serialize() {
    auto rows = [this] {
        TransferList(rows_, 24, [](Row& row) {
            Transfer(row.thisYear);
            Transfer(row.lastYear);
            Transfer(row.total);
        });
    };
    auto history = [this] {
        TransferList(history_, 16, [](YearPair& pair) {
            Transfer(pair.first);
            Transfer(pair.second);
        });
    };
    if (StreamMode() == kStreamStore) {
        for (uint32_t tag : {kTagRows, kTagAccounts, kTagHistory}) {
            BeginChunk(tag);
            if (tag == kTagRows)
                rows();
            else if (tag == kTagAccounts)
                TransferVector(accounts_);
            else
                history();
            EndChunk();
        }
        return;
    }
    for (;;) {
        uint32_t tag = 0;
        BeginChunk(tag);
        if (tag == 0) {
            EndChunk();
            break;
        }
        if (tag == kTagRows)
            rows();
        else if (tag == kTagAccounts)
            TransferVector(accounts_);
        else if (tag == kTagHistory)
            history();
        EndChunk();
    }
    // A save from another version may hold fewer rows or accounts; the game
    // reads the fixed ones, so keep them present.
    if (rows_.size() < kRowCount)
        rows_.resize(kRowCount);
    if (accounts_.size() < kAccountCount)
        accounts_.resize(kAccountCount);
    if (history_.size() > kMaxHistoryYears) {
        WorldWarning("player statistics: %zu history years cut to %u", history_.size(), kMaxHistoryYears);
        history_.resize(kMaxHistoryYears);
    }
}

void PlayerStatistics::OnNewYear(uint32_t year) {
    // The year just ended is year - 1; nothing is kept for years before the
    // history starts or beyond its cap.
    if (year > kHistoryFirstYear && year - kHistoryFirstYear <= kMaxHistoryYears) {
        const uint32_t index = year - kHistoryFirstYear - 1;
        if (history_.size() <= index) {
            // Grow with room for fifty more years.
            uint32_t size = index + 50;
            if (size > kMaxHistoryYears)
                size = kMaxHistoryYears;
            history_.resize(size, YearPair{0, 0});
        }
        history_[index] = YearPair{GetRowSum(0), GetExpenseSum(0)};
    }
    for (Row& row : rows_) {
        row.lastYear = row.thisYear;
        row.thisYear = 0;
    }
}

int64_t PlayerStatistics::GetValue(uint32_t row, uint32_t column) const {
    return row < rows_.size() ? ColumnOf(rows_[row], column) : 0;
}

int64_t PlayerStatistics::GetRowSum(uint32_t column) const {
    return WrappingAdd(WrappingAdd(GetValue(7, column), GetValue(8, column)), GetValue(9, column));
}

int64_t PlayerStatistics::GetExpenseSum(uint32_t column) const {
    int64_t sum = 0;
    for (uint32_t row = 0; row <= 6; ++row)
        sum = WrappingAdd(sum, GetValue(row, column));
    return sum;
}

void PlayerStatistics::AddToRow(uint32_t row, int64_t amount) {
    if (row >= rows_.size())
        return;
    rows_[row].thisYear = WrappingAdd(rows_[row].thisYear, amount);
    rows_[row].total = WrappingAdd(rows_[row].total, amount);
}

int64_t PlayerStatistics::GetAccount(uint32_t index) const {
    return index < accounts_.size() ? accounts_[index] : 0;
}

void PlayerStatistics::AddToAccount(uint32_t index, int64_t amount) {
    if (index < accounts_.size())
        accounts_[index] = WrappingAdd(accounts_[index], amount);
}

void PlayerStatistics::Book(int32_t category, int64_t amount) {
    int32_t account = -1;
    switch (category) {
    case 1:
        account = 0;
        break;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 17:
        account = 1;
        break;
    case 11:
    case 12:
    case 13:
        account = 2;
        break;
    case 2:
    case 3:
    case 4:
    case 18:
        account = 3;
        break;
    case 16:
        account = 4;
        break;
    case 15:
        account = 5;
        break;
    case 14:
        account = 6;
        break;
    default:
        return;
    }
    AddToAccount(uint32_t(account), amount);
}

int64_t PlayerStatistics::GetYearValue(uint32_t year, uint32_t i) const {
    if (year < kHistoryFirstYear || year - kHistoryFirstYear >= history_.size())
        return 0;
    const YearPair& pair = history_[year - kHistoryFirstYear];
    return i == 0 ? pair.first : i == 1 ? pair.second : 0;
}
