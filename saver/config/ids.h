// Resource and control ids of the saver, shared by the resource scripts and
// the C++ sources. Plain #defines, so the resource compiler reads them too.
#pragma once

// Dialog templates and the dialogs' icon.
#define SettingsDialogId 2003
#define AnimatedPageId 128
#define ClassicPageId 129
#define AboutBoxId 130
#define DialogIconId 147

// "Life Settings": the overlay lines' colour lists, foreground then background.
#define IdInfoForeground 101
#define IdPopulationForeground 102
#define IdGenerationForeground 103
#define IdFpsForeground 104
#define IdInfoBackground 105
#define IdPopulationBackground 106
#define IdGenerationBackground 107
#define IdFpsBackground 108
// The three spin edits and the tab control.
#define IdSeed 109
#define IdDelay 110
#define IdReset 111
#define IdModeTabs 112
// The Animated Mode page.
#define IdAnimatedScale 113
#define IdFrameSkip 114
#define IdLifefaceList 115
// The Classic Mode page: cell scale, the colours of N = 0 .. N = 8 and
// "Clear:", and the cycling time.
#define IdClassicScale 116
#define IdNeighbourColour0 117
#define IdNeighbourColour1 118
#define IdNeighbourColour2 119
#define IdNeighbourColour3 120
#define IdNeighbourColour4 121
#define IdNeighbourColour5 122
#define IdNeighbourColour6 123
#define IdNeighbourColour7 124
#define IdNeighbourColour8 125
#define IdClearColour 126
#define IdCycle 127
// Check boxes and radio buttons: id 131 + b shows flags bit b.
#define IdPrintInfo 131
#define IdPrintPopulation 132
#define IdPrintGeneration 133
#define IdPrintFps 134
#define IdArbitrary 135
#define IdSpecific 136
#define IdRandomLifeface 137
#define IdDigitalEffect 138
#define IdCycleAtReset 139
// The lifeface's texts on the Animated Mode page.
#define IdLifefaceGroup 140
#define IdBitmapLabel 141
#define IdAuthorLabel 142
#define IdCommentLabel 143
// Push buttons.
#define IdAbout 144
#define IdRandomize 145
#define IdUndo 146
// The rule of the field: the list of named rules (and "Custom"), the rule's
// text, and the box that draws a named rule for each new field instead.
#define IdRuleList 150
#define IdRuleText 151
#define IdDrawRule 152
// What a new field starts from: a random field, a pattern, or the two in turn.
#define IdStartWith 153
// The Classic Mode page's trails (an edit with its up-down) and colour by age.
#define IdFade 154
#define IdFadeSpin 155
#define IdColourByAge 156
// Pattern fields: the box that runs them on the unbounded plane, the step
// of 2^N generations a frame (an edit with its up-down), hyperspeed, and the
// longest time a pattern field is shown (an edit with its up-down).
#define IdPlane 157
#define IdStep 158
#define IdStepSpin 159
#define IdHyper 160
#define IdLongest 161
#define IdLongestSpin 162
