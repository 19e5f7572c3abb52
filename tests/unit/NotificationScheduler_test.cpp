// Local reminders: the triggers the scheduler makes, the calendar that arms them, the order of
// scheduling and deleting, and the store that keeps them across restarts.
#include "platform/LocalCalendar.h"
#include "platform/Platform.h"
#include "portable/Dispatch.h"
#include "services/NotificationScheduler.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LocalTimeZone.h"
#include "tests/support/ManualClock.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>


using platform::DateComponents;
using platform::TimePoint;
using testsupport::utc;

namespace {

class NotificationSchedulerTest : public testing::Test {
protected:
    NotificationSchedulerTest() { clock->advance(utc(2026, 1, 1, 0, 0) - clock->now()); }

    testsupport::LocalTimeZone zone{"UTC"};
    testsupport::FakePlatform fakes;
    // Built after the platform: the scheduler takes the installed centre.
    NotificationScheduler scheduler;
    std::shared_ptr<testsupport::ManualClock> clock = testsupport::ManualClock::install();
};

} // namespace

TEST_F(NotificationSchedulerTest, FrequencyChoosesTheTriggerComponents)
{
    const auto content = NotificationScheduler::makeReminderContent("Title", "Body", "news.html");
    const struct {
        const char* freq;
        DateComponents match;
        bool repeats;
    } cases[] = {
        {"none", DateComponents{2026, 1, 31, 8, 30, 0, {}}, false},
        {"daily", DateComponents{{}, {}, {}, 8, 30, {}, {}}, true},
        // 31 January 2026 is a Saturday.
        {"weekly", DateComponents{{}, {}, {}, 8, 30, {}, 7}, true},
        {"monthly", DateComponents{{}, {}, 31, 8, 30, {}, {}}, true},
        {"yearly", DateComponents{{}, 1, 31, 8, 30, {}, {}}, true},
    };
    for (const auto& c : cases) {
        scheduler.scheduleNotification(content, c.freq, "20260131T083000", c.freq);
        scheduler.waitUntilDone();
        const auto requests = fakes.userNotificationCenter->pendingNotificationRequests();
        const auto found = std::find_if(requests.begin(), requests.end(), [&](const auto& r) { return r.identifier == c.freq; });
        ASSERT_NE(found, requests.end()) << c.freq;
        const auto& trigger = std::get<platform::CalendarNotificationTrigger>(*found->trigger);
        EXPECT_EQ(c.match, trigger.dateMatching) << c.freq;
        EXPECT_EQ(c.repeats, trigger.repeats) << c.freq;
        EXPECT_EQ("news.html", *found->content.userInfo.at("landingPage").asString());
        EXPECT_EQ("reminder", *found->content.userInfo.at("notficationType").asString());
        EXPECT_EQ(platform::NotificationSound::defaultSound, found->content.sound);
    }
}

TEST_F(NotificationSchedulerTest, BadDateWinsOverBadFrequency)
{
    const auto content = NotificationScheduler::makeReminderContent("t", "b", "l");
    using Kind = NotificationSchedulerError::Kind;
    const struct {
        const char* date;
        const char* freq;
        Kind kind;
    } cases[] = {
        {"2026-01-31T08:30:00", "none", Kind::invalidDateString},
        {"20260131 083000", "daily", Kind::invalidDateString},
        {"", "none", Kind::invalidDateString},
        {"20260131T083000", "Weekly", Kind::invalidEventFrequency},
        {"2026-01-31T08:30:00", "Weekly", Kind::invalidDateString},
    };
    for (const auto& c : cases) {
        try {
            scheduler.scheduleNotification(content, "x", c.date, c.freq);
            ADD_FAILURE() << c.date << " " << c.freq << " was accepted";
        } catch (const NotificationSchedulerError& error) {
            EXPECT_EQ(c.kind, error.kind()) << c.date << " " << c.freq;
            // The string tables of the test bundle lack the keys: the key is the text.
            EXPECT_STREQ(c.kind == Kind::invalidDateString ? "NOTIFICATION_SCHEDULER_PARSE_ERROR"
                                                           : "NOTIFICATION_SCHEDULER_FREQ_ERROR",
                         error.what());
        }
    }
    scheduler.waitUntilDone();
    EXPECT_TRUE(fakes.userNotificationCenter->pendingNotificationRequests().empty());
}

// The page schedules a reminder and deletes it at once: the deletion must not overtake the
// scheduling, or the reminder is added after it and fires.
TEST_F(NotificationSchedulerTest, SchedulingAndDeletingTakeEffectInCallOrder)
{
    const auto content = NotificationScheduler::makeReminderContent("t", "b", "l");
    clock->advance(utc(2026, 1, 31, 8, 29, 59) - clock->now());
    scheduler.scheduleNotification(content, "gone", "20260131T083000", "none");
    scheduler.deleteNotification("gone");
    scheduler.scheduleNotification(content, "old", "20260131T083000", "daily");
    scheduler.deleteAllNotifications();
    scheduler.scheduleNotification(content, "kept", "20260131T083000", "daily");
    scheduler.waitUntilDone();

    const auto requests = fakes.userNotificationCenter->pendingNotificationRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("kept", requests[0].identifier);
    // Both were due at 08:30:00; only the one kept is shown.
    clock->advance(std::chrono::seconds(2));
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !fakes.userNotificationCenter->delivered.empty(); }));
    ASSERT_EQ(1u, fakes.userNotificationCenter->delivered.size());
    EXPECT_EQ("kept", fakes.userNotificationCenter->delivered[0].identifier);
}

TEST(LocalCalendar, NextDateMatchesTheGivenFieldsOnly)
{
    testsupport::LocalTimeZone zone{"UTC"};
    const TimePoint after = utc(2026, 1, 31, 9, 0);
    const struct {
        const char* name;
        DateComponents match;
        std::optional<TimePoint> next;
    } cases[] = {
        {"daily", DateComponents{{}, {}, {}, 8, 30, {}, {}}, utc(2026, 2, 1, 8, 30)},
        {"weekly on Saturday", DateComponents{{}, {}, {}, 8, 30, {}, 7}, utc(2026, 2, 7, 8, 30)},
        {"monthly on the 31st skips February", DateComponents{{}, {}, 31, 8, 30, {}, {}}, utc(2026, 3, 31, 8, 30)},
        {"yearly on 29 February", DateComponents{{}, 2, 29, 8, 30, {}, {}}, utc(2028, 2, 29, 8, 30)},
        {"later today", DateComponents{2026, 1, 31, 9, 0, 1, {}}, utc(2026, 1, 31, 9, 0, 1)},
        {"the same second is not after", DateComponents{2026, 1, 31, 9, 0, 0, {}}, std::nullopt},
        {"half past every hour", DateComponents{{}, {}, {}, {}, 30, {}, {}}, utc(2026, 1, 31, 9, 30)},
        {"no day of any month", DateComponents{{}, 2, 30, 8, 0, {}, {}}, std::nullopt},
        // Beyond the eight years the calendar once searched.
        {"once, eleven years ahead", DateComponents{2036, 12, 1, 8, 0, 0, {}}, utc(2036, 12, 1, 8, 0)},
        {"once, in the year 2200", DateComponents{2200, 12, 31, 23, 59, 59, {}}, utc(2200, 12, 31, 23, 59, 59)},
        {"once, beyond the clock's years", DateComponents{9999, 12, 31, 23, 59, 59, {}}, std::nullopt},
        {"29 February on a Friday", DateComponents{{}, 2, 29, 8, 0, {}, 6}, utc(2036, 2, 29, 8, 0)},
        {"29 February of a common year", DateComponents{2037, 2, 29, 8, 0, {}, {}}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.next, platform::LocalCalendar::nextDate(c.match, after)) << c.name;
    EXPECT_EQ(7, platform::LocalCalendar::weekday(2026, 1, 31));
    EXPECT_EQ(1, platform::LocalCalendar::weekday(2026, 2, 1));
}

namespace {

// The calendar's first search, kept as the reference: day by day from the day of `after`, at
// most eight years ahead, each matching day's candidate times in order.
std::optional<TimePoint> searchDayByDay(const DateComponents& matching, TimePoint after)
{
    auto candidates = [](const std::optional<int>& given, bool fixed, int count) {
        std::vector<int> values;
        if (given)
            values.push_back(*given);
        else
            for (int i = 0; i < (fixed ? 1 : count); ++i)
                values.push_back(i);
        return values;
    };
    const bool noHour = !matching.hour, noMinute = !matching.minute, noSecond = !matching.second;
    const bool timeGiven = !(noHour && noMinute && noSecond);
    const auto hours = candidates(matching.hour, !timeGiven, 24);
    const auto minutes = candidates(matching.minute, !timeGiven || (noMinute && !noHour && noSecond), 60);
    const auto seconds = candidates(matching.second, !timeGiven || (noSecond && !(noHour && noMinute)), 60);
    const std::time_t start = std::chrono::system_clock::to_time_t(after);
    std::tm day{};
    localtime_r(&start, &day);
    day.tm_hour = 12;
    day.tm_min = day.tm_sec = 0;
    for (int step = 0; step < 366 * 8 + 2; ++step, ++day.tm_mday) {
        day.tm_isdst = -1;
        std::mktime(&day);
        if ((matching.year && *matching.year != day.tm_year + 1900) || (matching.month && *matching.month != day.tm_mon + 1)
            || (matching.day && *matching.day != day.tm_mday) || (matching.weekday && *matching.weekday != day.tm_wday + 1))
            continue;
        for (int hour : hours)
            for (int minute : minutes)
                for (int second : seconds) {
                    std::tm at = day;
                    at.tm_hour = hour;
                    at.tm_min = minute;
                    at.tm_sec = second;
                    at.tm_isdst = -1;
                    const std::time_t made = std::mktime(&at);
                    const TimePoint moment = std::chrono::system_clock::from_time_t(made);
                    if (made != std::time_t(-1) && moment > after && at.tm_hour == hour && at.tm_min == minute)
                        return moment;
                }
        if (matching.year && *matching.year < day.tm_year + 1900)
            return std::nullopt;
    }
    return std::nullopt;
}

std::string describe(const DateComponents& shape)
{
    std::string text;
    for (const auto& field : {shape.year, shape.month, shape.day, shape.hour, shape.minute, shape.second, shape.weekday})
        text += (field ? std::to_string(*field) : "-") + " ";
    return text;
}

} // namespace

// The next date came from a day-by-day search of eight years: a reminder further ahead was
// dropped (see the table above for such dates). The direct computation gives what that search
// gave wherever it found a date, in zones whose clocks skip an hour, half an hour, or midnight.
TEST(LocalCalendar, NextDateIsTheDaySearchsAnswerWhereverThatFoundOne)
{
    std::vector<DateComponents> shapes;
    using Field = std::optional<int>;
    for (Field year : {Field{}, Field{2027}})
        for (Field month : {Field{}, Field{2}, Field{10}})
            for (Field day : {Field{}, Field{29}, Field{31}})
                for (Field hour : {Field{}, Field{0}, Field{2}})
                    for (Field minute : {Field{}, Field{15}})
                        for (Field second : {Field{}, Field{15}})
                            for (Field weekday : {Field{}, Field{1}})
                                shapes.push_back({year, month, day, hour, minute, second, weekday});
    // Out of range: never.
    shapes.push_back({{}, 13, 1, 8, 0, {}, {}});
    shapes.push_back({{}, {}, {}, 24, 0, {}, {}});
    shapes.push_back({{}, {}, {}, 8, {}, 60, {}});
    shapes.push_back({{}, {}, {}, 8, 0, {}, 8});
    const char* zones[] = {"UTC", "CET-1CEST,M3.5.0,M10.5.0/3", "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0",
                           "<-04>4<-03>,M9.1.6/24,M4.1.6/24"};
    for (const char* name : zones) {
        testsupport::LocalTimeZone zone{name};
        for (const TimePoint after : {utc(2026, 3, 29, 0, 59, 59), utc(2026, 10, 4, 12, 0), utc(2026, 12, 31, 23, 30)})
            for (const auto& shape : shapes) {
                const auto reference = searchDayByDay(shape, after);
                const auto next = platform::LocalCalendar::nextDate(shape, after);
                if (reference) {
                    EXPECT_EQ(reference, next) << name << " " << describe(shape);
                } else if (next) {
                    EXPECT_GT(*next, after + std::chrono::hours(24 * (366 * 8 + 1))) << name << " " << describe(shape);
                }
            }
    }
}

// A reminder without a next date was refused and never kept: it is pending, and never fires.
TEST_F(NotificationSchedulerTest, AReminderWithoutANextDateIsKeptAndNeverFires)
{
    const auto content = NotificationScheduler::makeReminderContent("t", "b", "l");
    scheduler.scheduleNotification(content, "past", "20251231T080000", "none");
    scheduler.scheduleNotification(content, "no such day", "20260230T080000", "none");
    scheduler.scheduleNotification(content, "far", "20361201T080000", "none");
    scheduler.waitUntilDone();
    platform::drainMainQueue();
    std::vector<std::string> pending;
    for (const auto& request : fakes.userNotificationCenter->pendingNotificationRequests())
        pending.push_back(request.identifier);
    EXPECT_EQ((std::vector<std::string>{"past", "no such day", "far"}), pending);
    clock->advance(std::chrono::hours(24 * 60));
    platform::drainMainQueue();
    EXPECT_TRUE(fakes.userNotificationCenter->delivered.empty());
}

// Reminders outlive the process: those due while it was not running are shown once at the
// next start, a repeating one is armed again, and one still ahead is kept as it was.
TEST_F(NotificationSchedulerTest, StoredRemindersAreArmedAgainAndMissedOnesShownOnce)
{
    const auto file = testsupport::makeTemporaryFolder("store") / "reminders.plist";
    const auto content = NotificationScheduler::makeReminderContent("Title", "Body", "news.html");
    {
        auto first = std::make_shared<testsupport::FakeUserNotificationCenter>();
        first->openStore(file);
        first->add({"once", content, platform::CalendarNotificationTrigger{DateComponents{2026, 1, 2, 8, 0, 0, {}}, false}});
        first->add({"daily", content, platform::CalendarNotificationTrigger{DateComponents{{}, {}, {}, 8, 0, {}, {}}, true}});
        first->add({"ahead", content, platform::CalendarNotificationTrigger{DateComponents{2027, 1, 1, 8, 0, 0, {}}, false}});
        first->add({"interval", content, platform::TimeIntervalNotificationTrigger{std::chrono::hours(1), false}});
    }
    clock->advance(utc(2026, 1, 5, 12, 0) - clock->now());

    auto next = std::make_shared<testsupport::FakeUserNotificationCenter>();
    next->openStore(file);
    platform::drainMainQueue();

    std::vector<std::string> shown;
    for (const auto& request : next->delivered)
        shown.push_back(request.identifier);
    EXPECT_EQ((std::vector<std::string>{"once", "daily"}), shown);
    std::vector<std::string> kept;
    for (const auto& request : next->pendingNotificationRequests())
        kept.push_back(request.identifier);
    EXPECT_EQ((std::vector<std::string>{"daily", "ahead"}), kept);
    EXPECT_EQ("news.html", *next->pendingNotificationRequests()[0].content.userInfo.at("landingPage").asString());

    // A third start right after shows nothing again.
    auto third = std::make_shared<testsupport::FakeUserNotificationCenter>();
    third->openStore(file);
    platform::drainMainQueue();
    EXPECT_TRUE(third->delivered.empty());
    EXPECT_EQ(2u, third->pendingNotificationRequests().size());

    // A store others could read is closed to them at the next start, its reminders unchanged.
    namespace fs = std::filesystem;
    fs::permissions(file, fs::perms::group_read | fs::perms::others_read, fs::perm_options::add);
    std::make_shared<testsupport::FakeUserNotificationCenter>()->openStore(file);
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write, fs::status(file).permissions() & fs::perms::all);
}
