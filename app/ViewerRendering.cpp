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

void ViewerWindow::renderPlain()
{
    clearToBackground(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    loadIdentities();
    setupLight();
    camera.applyProjection();
    drawMesh();
    glFlush();
}

void ViewerWindow::renderAnaglyph()
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
        drawMesh();
    }
    glFlush();
}

void ViewerWindow::drawMesh()
{
    if (!mesh)
        return;
    for (const auto& material : mesh->materials) {
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

        for (std::size_t f = 0; f < material->faceCount(); ++f) {
            const Face face = material->face(f);
            if (face.cornerCount != 3)
                continue;
            glBegin(GL_TRIANGLES);
            for (int j = 0; j < 3; ++j) {
                const Corner& c = face.corner(j);
                const TexCoord& t = mesh->texCoords[static_cast<std::size_t>(c.texCoord)];
                const Vec3& n = mesh->normals[static_cast<std::size_t>(c.normal)];
                const Vec3& p = mesh->positions[static_cast<std::size_t>(c.position)];
                glTexCoord2d(t.u, 1.0 - t.v);
                glNormal3d(n.x, n.y, n.z);
                glVertex3d(p.x, p.y, p.z);
            }
            glEnd();
        }

        if (texture)
            glDisable(GL_TEXTURE_2D);
    }
}
