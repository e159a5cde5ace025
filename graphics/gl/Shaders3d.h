#pragma once
// GLSL sources of the 3D effects (no GL needed to include this).
namespace KoGraphics::Gl {

// Half-Lambert lighting by one directional light; parameters mWorld, mViewProj (row-vector
// matrices), vDiffuse, nTextured, tBase. kFog3dShaderSource adds vFogColor, fFogNear, fFogFar.
extern const char* const kBasic3dShaderSource;
extern const char* const kFog3dShaderSource;

} // namespace KoGraphics::Gl
