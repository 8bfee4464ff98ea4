#pragma once

#include <QJsonObject>

namespace korvane {

// The OpenAPI 3 description of /api/v1, served at /api/v1/openapi.json.
QJsonObject openApiDocument();

} // namespace korvane
