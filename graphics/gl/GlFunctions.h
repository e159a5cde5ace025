#pragma once
// The OpenGL 3.3 core functions the engine uses, loaded through SDL into one table.
#include <GL/glcorearb.h>

namespace KoGraphics::Gl {

#define KO_GL_FUNCTIONS(X)                                                                         \
    X(PFNGLGETINTEGERVPROC, GetIntegerv)                                                           \
    X(PFNGLGETSTRINGPROC, GetString)                                                               \
    X(PFNGLGETERRORPROC, GetError)                                                                 \
    X(PFNGLVIEWPORTPROC, Viewport)                                                                 \
    X(PFNGLCLEARCOLORPROC, ClearColor)                                                             \
    X(PFNGLCLEARDEPTHPROC, ClearDepth)                                                             \
    X(PFNGLCLEARPROC, Clear)                                                                       \
    X(PFNGLENABLEPROC, Enable)                                                                     \
    X(PFNGLDISABLEPROC, Disable)                                                                   \
    X(PFNGLDEPTHMASKPROC, DepthMask)                                                               \
    X(PFNGLDEPTHFUNCPROC, DepthFunc)                                                               \
    X(PFNGLCOLORMASKPROC, ColorMask)                                                               \
    X(PFNGLBLENDEQUATIONSEPARATEPROC, BlendEquationSeparate)                                       \
    X(PFNGLBLENDFUNCSEPARATEPROC, BlendFuncSeparate)                                               \
    X(PFNGLCULLFACEPROC, CullFace)                                                                 \
    X(PFNGLFRONTFACEPROC, FrontFace)                                                               \
    X(PFNGLPIXELSTOREIPROC, PixelStorei)                                                           \
    X(PFNGLREADPIXELSPROC, ReadPixels)                                                             \
    X(PFNGLFINISHPROC, Finish)                                                                     \
    X(PFNGLGENTEXTURESPROC, GenTextures)                                                           \
    X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                                     \
    X(PFNGLBINDTEXTUREPROC, BindTexture)                                                           \
    X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                                       \
    X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                                             \
    X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                                                       \
    X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                                       \
    X(PFNGLGETTEXIMAGEPROC, GetTexImage)                                                           \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                                   \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                                             \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                                   \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D)                                         \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer)                                   \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                                     \
    X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer)                                                   \
    X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers)                                                 \
    X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers)                                           \
    X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer)                                                 \
    X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage)                                           \
    X(PFNGLGENBUFFERSPROC, GenBuffers)                                                             \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                                       \
    X(PFNGLBINDBUFFERPROC, BindBuffer)                                                             \
    X(PFNGLBUFFERDATAPROC, BufferData)                                                             \
    X(PFNGLBUFFERSUBDATAPROC, BufferSubData)                                                       \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                                                   \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                                             \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                                   \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                                   \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                                           \
    X(PFNGLVERTEXATTRIBIPOINTERPROC, VertexAttribIPointer)                                         \
    X(PFNGLCREATESHADERPROC, CreateShader)                                                         \
    X(PFNGLSHADERSOURCEPROC, ShaderSource)                                                         \
    X(PFNGLCOMPILESHADERPROC, CompileShader)                                                       \
    X(PFNGLGETSHADERIVPROC, GetShaderiv)                                                           \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                                                 \
    X(PFNGLDELETESHADERPROC, DeleteShader)                                                         \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                                       \
    X(PFNGLATTACHSHADERPROC, AttachShader)                                                         \
    X(PFNGLLINKPROGRAMPROC, LinkProgram)                                                           \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                                         \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                                               \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                                       \
    X(PFNGLUSEPROGRAMPROC, UseProgram)                                                             \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                                             \
    X(PFNGLUNIFORM1IPROC, Uniform1i)                                                               \
    X(PFNGLUNIFORM1IVPROC, Uniform1iv)                                                             \
    X(PFNGLUNIFORM1FPROC, Uniform1f)                                                               \
    X(PFNGLUNIFORM1FVPROC, Uniform1fv)                                                             \
    X(PFNGLUNIFORM4FVPROC, Uniform4fv)                                                             \
    X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv)                                                 \
    X(PFNGLDRAWARRAYSPROC, DrawArrays)                                                             \
    X(PFNGLDRAWELEMENTSPROC, DrawElements)

struct Functions {
#define KO_GL_MEMBER(type, name) type name = nullptr;
    KO_GL_FUNCTIONS(KO_GL_MEMBER)
#undef KO_GL_MEMBER
    // Loads every entry from the current context; false when one is missing.
    bool load();
};

} // namespace KoGraphics::Gl
