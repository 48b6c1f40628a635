#pragma once

#include <QLatin1StringView>

// Names, payload keys and fixed payload values of the station's notifications.
// Names and keys compare exactly (case-sensitive); QString compares with
// QLatin1StringView directly and converts from it implicitly.
namespace kivo {

// In-process notifications (NotificationCenter::defaultCenter()).
namespace notification {
// object: QVariantMap {newString, date, NSEvent}
inline constexpr QLatin1StringView AddStringToBuffer{"AddStringToBuffer"};
// object: QVariantMap {newBarcode, fromKivo (only from the previewer)}
inline constexpr QLatin1StringView NewCustomerId{"NewCustomerId"};
// userInfo: screenIndex, sourcePath
inline constexpr QLatin1StringView SlideShowParamChanged{"SlideShowParamChanged"};
// userInfo: screenIndex
inline constexpr QLatin1StringView SlideShowToggleShow{"SlideShowToggleShow"};
// userInfo: screenIndex (-1 addresses every display)
inline constexpr QLatin1StringView RequestSlideShowStatus{"RequestSlideShowStatus"};
// userInfo: screenIndex (every display reacts)
inline constexpr QLatin1StringView SlideShowToggleTest{"SlideShowToggleTest"};
inline constexpr QLatin1StringView SlideShowChangeTransitionStyle{"SlideShowChangeTransitionStyle"};
// userInfo: {mesg, screenIndex} or {code, codeStatus, screenIsPlaying, screenIndex}
inline constexpr QLatin1StringView SlideShowStatus{"SlideShowStatus"};
inline constexpr QLatin1StringView updateWindow{"updateWindow"};
inline constexpr QLatin1StringView testNotification{"testNotification"};
// object: receiving controller; userInfo: imagebrowser, images, dragsource
inline constexpr QLatin1StringView objectdragged{"objectdragged"};
// object: controller; userInfo: imagebrowser
inline constexpr QLatin1StringView concludeDragOperation{"concludeDragOperation"};
inline constexpr QLatin1StringView kivoQTMovieDidEndNotification{"kivoQTMovieDidEndNotification"};
inline constexpr QLatin1StringView updateAnimationMovieNotification{
    "updateAnimationMovieNotification"};
} // namespace notification

// Desktop-wide notifications from sibling applications (DistributedNotificationCenter).
namespace distributedNotification {
inline constexpr QLatin1StringView KivoSlideShowNotification{"KivoSlideShowNotification"};
// userInfo: action, value
inline constexpr QLatin1StringView KivoPreviewerNotification{"KivoPreviewerNotification"};
// userInfo: action, senderApp
inline constexpr QLatin1StringView kivoXNotification{"kivoXNotification"};
} // namespace distributedNotification

// Payload keys.
namespace notificationKey {
inline constexpr QLatin1StringView screenIndex{"screenIndex"};
inline constexpr QLatin1StringView sourcePath{"sourcePath"};
inline constexpr QLatin1StringView code{"code"};
inline constexpr QLatin1StringView codeStatus{"codeStatus"};
inline constexpr QLatin1StringView screenIsPlaying{"screenIsPlaying"};
inline constexpr QLatin1StringView mesg{"mesg"};
inline constexpr QLatin1StringView newBarcode{"newBarcode"};
inline constexpr QLatin1StringView fromKivo{"fromKivo"};
inline constexpr QLatin1StringView newString{"newString"};
inline constexpr QLatin1StringView date{"date"};
inline constexpr QLatin1StringView NSEvent{"NSEvent"};
inline constexpr QLatin1StringView action{"action"};
inline constexpr QLatin1StringView value{"value"};
inline constexpr QLatin1StringView senderApp{"senderApp"};
inline constexpr QLatin1StringView imagebrowser{"imagebrowser"};
inline constexpr QLatin1StringView images{"images"};
inline constexpr QLatin1StringView dragsource{"dragsource"};
} // namespace notificationKey

// Fixed payload values.
namespace notificationValue {
// "mesg" of "SlideShowStatus"
inline constexpr QLatin1StringView slideShowIsRunning{"<Slide Show is Running...>"};
inline constexpr QLatin1StringView slideShowIsNotRunning{"<Slide Show is NOT Running...>"};
// "action" of "KivoPreviewerNotification" (compared ignoring case)
inline constexpr QLatin1StringView newCustomerSittingStarted{"newCustomerSittingStarted"};
// "senderApp" and "action" of "kivoXNotification" (compared ignoring case)
inline constexpr QLatin1StringView kivoVideoApp{"Kivo-Video.app"};
inline constexpr QLatin1StringView statusIsRecording{"statusIsRecording"};
inline constexpr QLatin1StringView statusNotRecording{"statusNotRecording"};
} // namespace notificationValue

} // namespace kivo
