#include "openapi.h"

#include <QJsonDocument>

namespace korvane {

QJsonObject openApiDocument()
{
    static const QByteArray text = R"json({
"openapi": "3.0.3",
"info": {"title": "Korvane", "version": "1",
  "description": "Tracked domains, their recorded analyses, the work queue and where alerts go. Every call needs Authorization: Bearer TOKEN (korvane-server token add NAME). Errors are {\"error\": \"...\"}."},
"servers": [{"url": "/api/v1"}],
"components": {
  "securitySchemes": {"token": {"type": "http", "scheme": "bearer"}},
  "schemas": {
    "Error": {"type": "object", "required": ["error"], "properties": {"error": {"type": "string"}}},
    "Record": {"type": "object", "description": "An analysis as korvane-cli --format json writes it, with its id in the store.",
      "properties": {"id": {"type": "integer"}, "domain": {"type": "string"}, "engine": {"type": "string"},
        "started_at": {"type": "string"}, "finished_at": {"type": "string"}, "status": {"type": "string"},
        "outcome": {"type": "string", "enum": ["complete", "page_error", "refused", "stopped", "unreadable"]},
        "engine_total": {"type": "integer", "nullable": true}, "sites": {"type": "integer", "nullable": true},
        "pages_requested": {"type": "integer"}, "pages_read": {"type": "integer"},
        "rows": {"type": "array", "items": {"type": "object", "properties": {"site": {"type": "string"},
          "links": {"type": "integer"}, "latest_date": {"type": "string"}, "latest_date_iso": {"type": "string", "nullable": true},
          "latest_address": {"type": "string"}}}}}},
    "AlertTarget": {"type": "object", "properties": {"id": {"type": "integer"}, "domain": {"type": "string", "nullable": true},
      "address": {"type": "string", "description": "Keys and tokens masked: ...?key=ab12****"}, "format": {"type": "string"},
      "secret": {"type": "string", "nullable": true, "description": "Masked"}}},
    "Domain": {"type": "object", "properties": {"domain": {"type": "string"}, "interval_hours": {"type": "integer"},
      "next_run": {"type": "string", "nullable": true}, "latest": {"allOf": [{"$ref": "#/components/schemas/Record"}], "nullable": true}}}
  },
  "responses": {
    "Error": {"description": "The error", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Error"}}}}
  }
},
"security": [{"token": []}],
"paths": {
  "/domains": {
    "get": {"summary": "Every tracked domain", "responses": {"200": {"description": "The domains",
      "content": {"application/json": {"schema": {"type": "array", "items": {"$ref": "#/components/schemas/Domain"}}}}},
      "401": {"$ref": "#/components/responses/Error"}}},
    "post": {"summary": "Track domains (admins)", "requestBody": {"required": true, "content": {"application/json": {"schema": {
        "type": "object", "required": ["domains"], "properties": {"domains": {"type": "array", "items": {"type": "string"}},
        "interval_hours": {"type": "integer", "minimum": 0, "default": 24}, "skip_invalid": {"type": "boolean", "default": false}}}}}},
      "responses": {"201": {"description": "Added: {\"added\": [...], \"already_tracked\": [...]}"},
        "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"},
        "403": {"$ref": "#/components/responses/Error"}, "413": {"$ref": "#/components/responses/Error"},
        "422": {"description": "An invalid domain: {\"error\": \"...\", \"lines\": [{\"line\": N, \"reason\": \"...\"}]}"}}}
  },
  "/domains/{domain}/analyses": {
    "get": {"summary": "The domain's records, newest first", "parameters": [{"name": "domain", "in": "path", "required": true, "schema": {"type": "string"}}],
      "responses": {"200": {"description": "The records", "content": {"application/json": {"schema": {"type": "array", "items": {"$ref": "#/components/schemas/Record"}}}}},
        "404": {"$ref": "#/components/responses/Error"}}}
  },
  "/domains/{domain}/analyse": {
    "post": {"summary": "Queue the domain now (admins)", "parameters": [{"name": "domain", "in": "path", "required": true, "schema": {"type": "string"}}],
      "responses": {"202": {"description": "Queued"}, "403": {"$ref": "#/components/responses/Error"}, "404": {"$ref": "#/components/responses/Error"}}}
  },
  "/analyses/{id}": {
    "get": {"summary": "One record", "parameters": [{"name": "id", "in": "path", "required": true, "schema": {"type": "integer"}}],
      "responses": {"200": {"description": "The record", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Record"}}}},
        "400": {"$ref": "#/components/responses/Error"}, "404": {"$ref": "#/components/responses/Error"}}}
  },
  "/diff": {
    "get": {"summary": "Sites new, lost and changed, as korvane-cli diff --format json",
      "parameters": [{"name": "domain", "in": "query", "required": true, "schema": {"type": "string"}},
        {"name": "from", "in": "query", "schema": {"type": "integer"}}, {"name": "to", "in": "query", "schema": {"type": "integer"}}],
      "responses": {"200": {"description": "The diff"}, "400": {"$ref": "#/components/responses/Error"},
        "404": {"$ref": "#/components/responses/Error"}, "422": {"$ref": "#/components/responses/Error"}}}
  },
  "/alerts/targets": {
    "get": {"summary": "Where alerts go: for every domain (domain null) or for one; addresses and secrets masked",
      "responses": {"200": {"description": "The targets", "content": {"application/json": {"schema": {"type": "array", "items": {"$ref": "#/components/schemas/AlertTarget"}}}}},
        "401": {"$ref": "#/components/responses/Error"}}},
    "post": {"summary": "Add a target (admins): a webhook URL or a mail address", "requestBody": {"required": true, "content": {"application/json": {"schema": {
        "type": "object", "required": ["address"], "properties": {"address": {"type": "string"},
        "format": {"type": "string", "enum": ["auto", "json", "wecom", "dingtalk", "feishu", "slack"], "default": "auto"},
        "secret": {"type": "string", "description": "Signs DingTalk and Feishu messages"},
        "domain": {"type": "string", "description": "Only this domain's alerts; none for every domain"}}}}}},
      "responses": {"201": {"description": "Added (masked)", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/AlertTarget"}}}},
        "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"},
        "403": {"$ref": "#/components/responses/Error"}, "422": {"$ref": "#/components/responses/Error"}}}
  },
  "/queue": {
    "get": {"summary": "The queue, as korvane-cli queue status --format json", "responses": {"200": {"description":
      "{\"waiting\", \"working\", \"expired\", \"done\", \"refused\"}"}}}
  },
  "/openapi.json": {"get": {"summary": "This description", "responses": {"200": {"description": "OpenAPI 3"}}}}
}
})json";
    return QJsonDocument::fromJson(text).object();
}

} // namespace korvane
