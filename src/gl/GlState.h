#pragma once
// The two multitexture entry points every drawing file calls, and the fixed
// pipeline state that all drawing takes for granted.
#include "gl/GlHeaders.h"
#include "gl/ProcLookup.h"

namespace stagwerk {

// Null until SetupGlState has looked them up.
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB;
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB;

// Needs a current context. Throws LoadError "glMultiTexCoord2fARB unreachable"
// or "glActiveTextureARB unreachable" before setting any state.
bool SetupGlState(GlProcLookup lookup);

}  // namespace stagwerk
