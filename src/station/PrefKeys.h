#pragma once

// Names of the station's preferences. Each constant is spelled as its key.
namespace kivo::keys {

// Station-wide keys.
inline constexpr char prefRedirectNSLogToFile[] = "prefRedirectNSLogToFile";
inline constexpr char prefDaysToSaveLogs[] = "prefDaysToSaveLogs";
inline constexpr char prefDoShoutMode[] = "prefDoShoutMode";
inline constexpr char prefSearchDemoCodeAtStartup[] = "prefSearchDemoCodeAtStartup";
inline constexpr char prefSupportDemoCode[] = "prefSupportDemoCode";
inline constexpr char prefDemoCodesList[] = "prefDemoCodesList";
inline constexpr char prefDemoSlidesPath[] = "prefDemoSlidesPath";
inline constexpr char prefSlideShowPath[] = "prefSlideShowPath";
inline constexpr char prefSlideShowPathAliasData[] = "prefSlideShowPathAliasData";
inline constexpr char prefSlideShowPathAliasDataIsValid[] = "prefSlideShowPathAliasDataIsValid";
inline constexpr char prefMoviePath[] = "prefMoviePath";
inline constexpr char prefMoviePathAliasData[] = "prefMoviePathAliasData";
inline constexpr char prefMoviePathAliasDataIsValid[] = "prefMoviePathAliasDataIsValid";
inline constexpr char prefMaxPhotosInLocalFolder[] = "prefMaxPhotosInLocalFolder";
inline constexpr char prefWaitForPhotosMinutes[] = "prefWaitForPhotosMinutes";
inline constexpr char prefTempFolderPath[] = "prefTempFolderPath";
inline constexpr char prefDailyFolderFormat[] = "prefDailyFolderFormat";
inline constexpr char prefDoShowMenuBar[] = "prefDoShowMenuBar";
inline constexpr char prefAutoBringAppToFrontAfterLaunch[] = "prefAutoBringAppToFrontAfterLaunch";
inline constexpr char prefAutoBringAppToFrontAfterLaunchDelay[] =
    "prefAutoBringAppToFrontAfterLaunchDelay";
inline constexpr char prefAvailTransitionStyles[] = "prefAvailTransitionStyles";
inline constexpr char prefTransitionStyle[] = "prefTransitionStyle";
inline constexpr char prefUseTransitionMode[] = "prefUseTransitionMode";
inline constexpr char prefShowPhotoWithFilename[] = "prefShowPhotoWithFilename";
inline constexpr char prefIdentifyScreenInSeconds[] = "prefIdentifyScreenInSeconds";
inline constexpr char prefPatternImageBaseNames[] = "prefPatternImageBaseNames";
inline constexpr char prefParentAppPlistName[] = "prefParentAppPlistName";
// Spelled "Ater", without an "f": stored files use this name.
inline constexpr char prefMoveItemsAterFactoryDefault[] = "prefMoveItemsAterFactoryDefault";
inline constexpr char prefPathToAlternateDateFolder[] = "prefPathToAlternateDateFolder";
inline constexpr char prefSelectedTagForDateFolder[] = "prefSelectedTagForDateFolder";
inline constexpr char prefDayStepperValue[] = "prefDayStepperValue";
inline constexpr char prefSelectedDateString[] = "prefSelectedDateString";
inline constexpr char prefConfirmRoomBeforeStartingSlideshow[] =
    "prefConfirmRoomBeforeStartingSlideshow";
inline constexpr char prefParentAppName[] = "prefParentAppName";
// Desktop entry id of the parent application (how it is brought forward).
inline constexpr char prefParentAppBundleId[] = "prefParentAppBundleId";
inline constexpr char prefCurrentPathForIKImageView[] = "prefCurrentPathForIKImageView";
inline constexpr char prefCurrentFullPathForIKImageView[] = "prefCurrentFullPathForIKImageView";
inline constexpr char prefNewImageFolder[] = "prefNewImageFolder";
inline constexpr char prefSortListTag[] = "prefSortListTag";
// Part of the name of the X keyboard device that is the barcode scanner;
// empty: scans come from the focused window.
inline constexpr char prefScannerDevice[] = "prefScannerDevice";
// Where the station keeps a copy of its status (JSON); unset: nowhere.
inline constexpr char prefStatusFile[] = "prefStatusFile";

// Transition modes (values of prefUseTransitionMode).
inline constexpr char transitionModeFixed[] = "transitionModeFixed";
inline constexpr char transitionModeRandom[] = "transitionModeRandom";
inline constexpr char transitionModeNone[] = "transitionModeNone";

// Per-display base keys: display index i uses the key followed by i + 1
// ("prefSlideShowPath1" for display 0).
inline constexpr char prefNSScreenIndex[] = "prefNSScreenIndex";
inline constexpr char prefDoPlayMovie[] = "prefDoPlayMovie";
inline constexpr char prefPlayMovieFirst[] = "prefPlayMovieFirst";
// prefMoviePath, prefMoviePathAliasData, prefMoviePathAliasDataIsValid,
// prefSlideShowPath, prefSlideShowPathAliasData and
// prefSlideShowPathAliasDataIsValid serve as base keys too.
inline constexpr char prefDoSlideShow[] = "prefDoSlideShow";
inline constexpr char prefSlideShowDelay[] = "prefSlideShowDelay";
inline constexpr char prefSlideShowWhichPhotos[] = "prefSlideShowWhichPhotos";
inline constexpr char prefSlideShowDisplaySequence[] = "prefSlideShowDisplaySequence";
inline constexpr char prefDisplayStatus[] = "prefDisplayStatus";
inline constexpr char prefNameOfDisplay[] = "prefNameOfDisplay";
// The monitor a display is pinned to (QScreen::name(): the RandR monitor or
// output name); empty for the next free screen.
inline constexpr char prefDisplayOutput[] = "prefDisplayOutput";
// The first display's name, observed by the console.
inline constexpr char prefNameOfDisplay1[] = "prefNameOfDisplay1";

// Role names of a display's parameter dictionary.
inline constexpr char sPrefKeyForNSScreenIndex[] = "sPrefKeyForNSScreenIndex";
inline constexpr char sPrefKeyForDoPlayMovie[] = "sPrefKeyForDoPlayMovie";
inline constexpr char sPrefKeyForPlayMovieFirst[] = "sPrefKeyForPlayMovieFirst";
inline constexpr char sPrefKeyForMoviePath[] = "sPrefKeyForMoviePath";
inline constexpr char sPrefKeyForMoviePathAliasData[] = "sPrefKeyForMoviePathAliasData";
inline constexpr char sPrefKeyForMoviePathAliasDataIsValid[] =
    "sPrefKeyForMoviePathAliasDataIsValid";
inline constexpr char sPrefKeyForDoSlideShow[] = "sPrefKeyForDoSlideShow";
inline constexpr char sPrefKeyForSlideShowPath[] = "sPrefKeyForSlideShowPath";
inline constexpr char sPrefKeyForSlideShowPathAliasData[] = "sPrefKeyForSlideShowPathAliasData";
inline constexpr char sPrefKeyForSlideShowPathAliasDataIsValid[] =
    "sPrefKeyForSlideShowPathAliasDataIsValid";
inline constexpr char sPrefKeyForSlideShowDelay[] = "sPrefKeyForSlideShowDelay";
inline constexpr char sPrefKeyForSlideShowWhichPhotos[] = "sPrefKeyForSlideShowWhichPhotos";
inline constexpr char sPrefKeyForSlideShowOrderSequence[] = "sPrefKeyForSlideShowOrderSequence";

// Keys of a folder preference triple dictionary; each value is the name of
// the preference that holds that member.
inline constexpr char prefFolderNameKey[] = "prefFolderNameKey";
inline constexpr char prefFolderAliasDataKey[] = "prefFolderAliasDataKey";
inline constexpr char prefFolderNameIsValidKey[] = "prefFolderNameIsValidKey";

} // namespace kivo::keys
