-- Mesh surfaces and vertices.
mesh:setColor(color(0, 1, 0, 0.5))
mesh:setTexture(tex)
print(mesh:getColor(), mesh:getTexture(), mesh:getMaterial(), mesh:getDisplayMode())
mesh:setCastShadow(false)
mesh:setReceiveShadow(false)
mesh:setDisplayMode(DISPLAY_MODE_SPRITE)
for i = 0, mesh:getNumVertices() + 1 do
  local p = mesh:getVertexPosition(i)
  if p then mesh:setVertexPosition(i, p + v3(0, 0, 0.5)) end
  local c = mesh:getVertexColor(i)
  if c then mesh:setVertexColor(i, color(1, 1, 1, 0.5)) end
end
mesh:resetVertexPosition()
mesh:resetVertexColor()
mesh:setOwnMaterial()
local copy = newMesh(scene, set:get('tri'))
copy:setVertexPosition(1, v3(2, 2, 2))
pane:delete()
