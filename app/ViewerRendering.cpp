// The two kinds of frame, the light, and the mesh itself.

#include "app/ViewerWindow.h"

#include "mesh/Mesh.h"

#include <GL/gl.h>

namespace {

const GLfloat kLightPosition[4] = {0.0f, 0.0f, 2.0f, 1.0f};
const GLfloat kLightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat kLightAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
const GLfloat kLightSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};

void loadIdentities()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void clearToBackground(GLbitfield buffers)
{
    glEnable(GL_LIGHTING);
    glClearColor(0.3f, 0.3f, 0.3f, 0.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(buffers);
}

} // namespace

void ViewerWindow::setUpContext()
{
    context.create(hwnd, false, 4);
    context.makeCurrent(nullptr);
    initGLState();
    context.releaseCurrent();
}

void ViewerWindow::initGLState()
{
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);
}

void ViewerWindow::setupLight()
{
    // Given with the identity model-view matrix, the light sits just behind
    // the eye and moves with the viewer.
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
}

void ViewerWindow::renderPlain(MeshPainter paintMesh)
{
    clearToBackground(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    loadIdentities();
    setupLight();
    camera.applyProjection();
    (this->*paintMesh)();
    glFlush();
}

void ViewerWindow::renderAnaglyph(MeshPainter paintMesh)
{
    // The background stays grey in all three channels; each eye gets a fresh
    // depth buffer and only its own colour channels.
    clearToBackground(GL_COLOR_BUFFER_BIT);
    const double separation = anaglyphDepth * 0.0005;
    for (int eye = 0; eye < 2; ++eye) {
        loadIdentities();
        glClear(GL_DEPTH_BUFFER_BIT);
        if (eye == 0)
            glColorMask(GL_TRUE, GL_FALSE, GL_FALSE, GL_FALSE);
        else
            glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_FALSE);
        setupLight();
        camera.applyStereoProjection(eye == 1, separation);
        (this->*paintMesh)();
    }
    glFlush();
}

void ViewerWindow::renderFrame(MeshPainter paintMesh)
{
    if (anaglyphMode)
        renderAnaglyph(paintMesh);
    else
        renderPlain(paintMesh);
}

void ViewerWindow::paintFrame(MeshPainter paintMesh)
{
    if (!context.renderingContext) {
        // Without a rendering context nothing can be drawn; validate the
        // window so that it is not asked to paint over and over.
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return;
    }
    context.beginPaint();
    renderFrame(paintMesh);
    context.endPaint();
}

void ViewerWindow::drawMesh()
{
    if (!mesh)
        return;
    drawMaterials(true);
    // The lists are recorded after the frame, once it is on the screen, so
    // that a new mesh shows as soon as one frame can be drawn.
    if (meshLists.pending(*mesh))
        PostMessageA(hwnd, WM_RECORD_LISTS, 0, 0);
}

void ViewerWindow::drawMeshImmediate()
{
    if (!mesh)
        return;
    drawMaterials(false);
}

void ViewerWindow::drawMaterials(bool fast)
{
    for (std::size_t i = 0; i < mesh->materials.size(); ++i) {
        const Material* material = mesh->materials[i].get();
        // Looked up in every frame: a file that failed stays failed until the
        // textures are cleared, however often it is asked for.
        const TextureEntry* texture = nullptr;
        if (!material->textureName.empty()) {
            const std::string path = mesh->directory + material->textureName;
            texture = textures.getTexture(path.c_str());
            if (texture) {
                glEnable(GL_TEXTURE_2D);
                glBindTexture(GL_TEXTURE_2D, texture->glName);
            }
        }

        // The file's ambient colour acts through the emission colour only.
        const GLfloat diffuse[4] = {material->diffuse[0], material->diffuse[1], material->diffuse[2], 1.0f};
        const GLfloat specular[4] = {material->specular[0], material->specular[1], material->specular[2], 1.0f};
        const GLfloat emission[4] = {material->ambient[0] * material->diffuse[0],
                                     material->ambient[1] * material->diffuse[1],
                                     material->ambient[2] * material->diffuse[2], 1.0f};
        glColor3fv(diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material->shininess);

        // Vertex colours stand in for the ambient and diffuse colour. The
        // material's own values come back afterwards, so that nothing of the
        // corners' colours is left to the next mesh.
        const bool coloured = !mesh->colors.empty();
        if (coloured) {
            glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT);
            glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
            glEnable(GL_COLOR_MATERIAL);
        }

        if (fast)
            meshLists.draw(*mesh, i);
        else
            sendTriangles(*mesh, *material, true);

        if (coloured)
            glPopAttrib();

        if (texture)
            glDisable(GL_TEXTURE_2D);
    }
}
