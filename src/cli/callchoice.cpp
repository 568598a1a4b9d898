// The options that choose calls beyond the period and the number's text: the same phone number
// however it is written, and talk time or none.
#include "commandsupport.h"
#include "config.h"
#include "reportrequest.h"

namespace cli {

Result<std::shared_ptr<const calls::SameNumber>> ReadSameNumber(const QCommandLineParser& parser,
                                                                const QString& typed) {
    using Answer = std::shared_ptr<const calls::SameNumber>;
    config::LoadConfig();
    const QString region =
        calls::ChooseRegion(config::GetConfig(QString::fromLatin1(config::kRegionSetting)),
                            parser.value(QStringLiteral("region")), qEnvironmentVariable("LC_ALL"),
                            qEnvironmentVariable("LC_TELEPHONE"), qEnvironmentVariable("LANG"));
    if (region.isEmpty())
        return Failed<Answer>(QStringLiteral(
            "--match number: say whose way of writing numbers applies, with --region (such as "
            "--region GB) or REGION=GB in the settings; the locale names no region"));
    auto same = calls::SameNumber::For(typed, region);
    if (!same)
        return Failed<Answer>(QStringLiteral("--match number: region ") + same.reason());
    return Succeeded<Answer>(std::make_shared<const calls::SameNumber>(std::move(same.value)));
}

Result<std::optional<bool>> ReadTalk(const QCommandLineParser& parser) {
    if (!parser.isSet(QStringLiteral("talk")))
        return Succeeded<std::optional<bool>>(std::nullopt);
    const QString talk = parser.value(QStringLiteral("talk"));
    if (talk == QLatin1String("yes") || talk == QLatin1String("no"))
        return Succeeded<std::optional<bool>>(talk == QLatin1String("yes"));
    return Failed<std::optional<bool>>(QStringLiteral("--talk %1: it is yes or no").arg(talk));
}

bool KeepsEveryCall(const ReportRequest& request) {
    return !request.talk && !(request.sameNumber && request.sameNumber->isPhoneNumber());
}

bool Keeps(const ReportRequest& request, const dbRoutines::CallRecord& call) {
    if (request.talk) {
        const auto seconds = CallRows::DurationSecondsOf(call.duration, call.durationText);
        if (!seconds || (*request.talk ? !(*seconds > 0) : *seconds != 0))
            return false;
    }
    if (const auto& same = request.sameNumber; same && same->isPhoneNumber())
        return same->takesPart(call.callFrom, call.callTo, request.filter.direction);
    return true;
}

} // namespace cli
