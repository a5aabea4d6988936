-- Leaves out pictures whose file is not there when the manual is built
-- (the Windows screenshots are made on another machine), with their figure.
local function exists(path)
  local f = io.open(path, "rb")
  if f then f:close() return true end
  return false
end

function Image(img)
  if not exists(img.src) then return {} end
end

function Para(para)
  if #para.content == 0 then return {} end
end
